# Tests of the record editors, through the real dialogs on the offscreen platform.
find_package(Qt6 REQUIRED COMPONENTS Test Widgets)

function(sentrel_add_editor_test name)
  add_executable(${name} ${ARGN} ${CMAKE_CURRENT_LIST_DIR}/EditorTestSupport.cpp)
  sentrel_target(${name})
  set_target_properties(${name} PROPERTIES AUTOMOC ON)
  target_link_libraries(${name} PRIVATE sentrel_ui Qt6::Test Qt6::Widgets sentrel_test_support)
  add_test(NAME ${name} COMMAND ${name})
  set_tests_properties(${name} PROPERTIES LABELS "ui"
    ENVIRONMENT "QT_QPA_PLATFORM=offscreen;LC_ALL=C.UTF-8;TZ=Europe/Berlin")
endfunction()

sentrel_add_editor_test(watch_editor_tests ${CMAKE_CURRENT_LIST_DIR}/WatchEditorsTest.cpp)
sentrel_add_editor_test(alert_editor_tests ${CMAKE_CURRENT_LIST_DIR}/AlertEditorsTest.cpp)
sentrel_add_editor_test(activation_editor_tests ${CMAKE_CURRENT_LIST_DIR}/ActivationEditorTest.cpp)
sentrel_add_editor_test(editor_dispatch_tests ${CMAKE_CURRENT_LIST_DIR}/EditorDispatchTest.cpp)
sentrel_add_editor_test(main_window_editor_tests ${CMAKE_CURRENT_LIST_DIR}/MainWindowEditorsTest.cpp)
