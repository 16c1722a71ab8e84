// Arbitrary bytes as config.ini: reads and writes must never crash, a write must read back,
// and a rewrite may drop empty lines but no other line.
#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <string>

#include "FuzzSupport.h"
#include "settings/IniFile.h"
#include "util/FileIO.h"

using namespace tavolin;

namespace {

size_t CountNonEmptyLines(const std::string& text) {
    size_t n = 0, len = 0;
    for (char c : text) {
        if (c == '\n') {
            n += len > 0;
            len = 0;
        } else if (c != '\r') {
            ++len;
        }
    }
    return n + (len > 0);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const auto path = fuzz::ScratchDir() / "config.ini";
    const std::string input(reinterpret_cast<const char*>(data), size);
    {
        std::ofstream out(path, std::ios::binary | std::ios::trunc);
        out.write(input.data(), static_cast<std::streamsize>(input.size()));
    }
    IniFile ini;
    if (!ini.Open(path, false)) std::abort();
    // Section and key names come from the input too, so odd names are exercised.
    const std::string section = size > 2 ? input.substr(0, data[0] % 8) : "Layout";
    const std::string key = size > 3 ? input.substr(1, data[1] % 6) : "KArt";
    std::string value;
    ini.ReadValue(section, key, value);
    ini.ReadValue("Layout", "KArt", value);

    const size_t before = CountNonEmptyLines(input);
    const bool newLineInKey = key.find_first_of("\r\n") != std::string::npos ||
                              section.find_first_of("\r\n") != std::string::npos;
    if (ini.WriteValue(section, key, "v=1", true) && !newLineInKey) {
        std::string back;
        if (!ini.ReadValue(section, key, back) || back != "v=1") {
            // A key that the reader cannot see as a key line (a blank form, a bracket line)
            // may legitimately read differently; only a plain key must round-trip.
            const bool plain = !key.empty() && key.find_first_of(" =[]") == std::string::npos &&
                               !section.empty() && section.find_first_of("[]") == std::string::npos;
            if (plain) std::abort();
        }
        std::string after;
        ReadWholeFile(path, after);
        // The write replaces lines or adds at most the header and the key line.
        if (!newLineInKey && CountNonEmptyLines(after) < before) std::abort();
    }
    return 0;
}
