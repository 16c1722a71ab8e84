#include "app/CTavolinApp.h"

int main(int argc, char** argv) {
    return tavolin::CTavolinApp::Main(argc, argv);
}
