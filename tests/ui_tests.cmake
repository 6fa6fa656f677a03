# Widget tests (Qt Test) of the window, run offscreen.
if(TARGET lumicarve_ui)
  find_package(Qt6 REQUIRED COMPONENTS Test)
  add_library(lumicarve_ui_test_support STATIC ui/ui_test_support.cpp)
  target_link_libraries(lumicarve_ui_test_support PUBLIC lumicarve_ui Qt6::Test)
  target_compile_definitions(lumicarve_ui_test_support PUBLIC
    LUMICARVE_TEST_DATA="${CMAKE_CURRENT_SOURCE_DIR}/data")
  set_target_properties(lumicarve_ui_test_support PROPERTIES AUTOMOC ON)

  function(lumicarve_add_ui_test name)
    add_executable(${name} ${ARGN})
    target_link_libraries(${name} PRIVATE lumicarve_ui_test_support)
    target_include_directories(${name} PRIVATE ${CMAKE_CURRENT_SOURCE_DIR}/ui)
    set_target_properties(${name} PROPERTIES AUTOMOC ON)
    add_test(NAME ${name} COMMAND ${name})
    set_tests_properties(${name} PROPERTIES
      ENVIRONMENT "QT_QPA_PLATFORM=offscreen" TIMEOUT 300)
  endfunction()

  foreach(test scan_window_test settings_test command_strip_test progress_test folder_tree_test preview_test
               options_dialog_test recovery_dialog_test recovery_window_test scan_fault_test
               # Browsing what was found: the list, its thumbnails and the preview dialog.
               file_list_test thumbnail_test file_preview_test window_input_test
               # The window in German and in English.
               translation_test
               # The scan thread's hand-over to the window.
               scan_relay_test)
    lumicarve_add_ui_test(ui_${test} ui/${test}.cpp)
  endforeach()
  # The device list filled by worker threads, one loop device held up.
  lumicarve_add_ui_test(ui_device_list_test ui/device_list_test.cpp)
  # Started in a German session, as the program takes its language from the environment.
  set_tests_properties(ui_translation_test PROPERTIES
    ENVIRONMENT "QT_QPA_PLATFORM=offscreen;LC_ALL=de_DE.UTF-8;LANGUAGE=")
  # A disk the user may not open, read through the disk service on a private bus.
  lumicarve_add_ui_test(ui_disk_access_test ui/disk_access_test.cpp)
  # The window ended by signals mid-scan, run as a child process.
  lumicarve_add_ui_test(ui_window_signal_test ui/window_signal_test.cpp)
endif()

# Every text the window shows has its German translation.
if(TARGET Qt6::lupdate)
  add_test(NAME translations_complete
    COMMAND ${CMAKE_SOURCE_DIR}/scripts/translations check $<TARGET_FILE:Qt6::lupdate>)
endif()
