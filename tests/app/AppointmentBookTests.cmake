# Widget tests of the appointment book (offscreen), and its desktop notifications on a private
# session bus.
tavolin_add_qt_test(NAME test_appointment_dialog SOURCES ${CMAKE_CURRENT_LIST_DIR}/CTerminDlgTest.cpp
    LIBS tavolin_appointment_book)
tavolin_add_qt_test(NAME test_appointment_list SOURCES ${CMAKE_CURRENT_LIST_DIR}/AppointmentListTest.cpp
    LIBS tavolin_appointment_book tavolin_testsupport)
tavolin_add_qt_test(NAME test_reminders SOURCES ${CMAKE_CURRENT_LIST_DIR}/RemindersTest.cpp
    LIBS tavolin_appointment_book tavolin_testsupport)
tavolin_add_qt_test(NAME test_tray_messages SOURCES ${CMAKE_CURRENT_LIST_DIR}/TrayMessagesTest.cpp
    LIBS tavolin_appointment_book)
if(NOT WIN32)
add_executable(test_desktop_notifier ${CMAKE_CURRENT_LIST_DIR}/DesktopNotifierTest.cpp)
set_target_properties(test_desktop_notifier PROPERTIES AUTOMOC ON)
target_link_libraries(test_desktop_notifier PRIVATE tavolin_appointment_book Qt6::Test)
tavolin_warnings(test_desktop_notifier)
tavolin_add_x11_test(NAME test_desktop_notifier COMMAND $<TARGET_FILE:test_desktop_notifier>)
# The same dialog tests in a real X session: typing, pasting, the arrows and the date pop-up's
# place under a window manager.
tavolin_add_x11_test(NAME test_appointment_dialog_x11 COMMAND $<TARGET_FILE:test_appointment_dialog>)
tavolin_add_x11_test(NAME test_reminders_x11 COMMAND $<TARGET_FILE:test_reminders>)
endif()
