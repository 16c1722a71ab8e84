# The appointment book's widgets: the appointment dialog, the list commands and the reminders.
# A library of its own below tavolin_gui, whose AppointmentBook puts it into the main dialog.
add_library(tavolin_appointment_book STATIC
    ${CMAKE_CURRENT_LIST_DIR}/AppointmentList.cpp
    ${CMAKE_CURRENT_LIST_DIR}/CTerminDlg.cpp
    ${CMAKE_CURRENT_LIST_DIR}/Reminders.cpp
    ${CMAKE_CURRENT_LIST_DIR}/StoreWorker.cpp
    ${CMAKE_CURRENT_LIST_DIR}/TrayMessages.cpp
    ${CMAKE_CURRENT_LIST_DIR}/UpDownArrows.cpp
)
set_target_properties(tavolin_appointment_book PROPERTIES AUTOMOC ON)
target_link_libraries(tavolin_appointment_book PUBLIC tavolin::controls Qt6::Widgets tavolin::core)
# Reminders also go to the desktop's notifications: a notification server on the session bus,
# or on Windows a balloon at the program's notification icon.
if(WIN32)
    target_sources(tavolin_appointment_book PRIVATE ${CMAKE_CURRENT_LIST_DIR}/windows/TrayNotifier.cpp)
else()
    target_sources(tavolin_appointment_book PRIVATE ${CMAKE_CURRENT_LIST_DIR}/DesktopNotifier.cpp)
    target_link_libraries(tavolin_appointment_book PUBLIC Qt6::DBus)
endif()
tavolin_warnings(tavolin_appointment_book)
