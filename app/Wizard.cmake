# The Qt Widgets wizard: the form, its dialogs, the mail component, the icons, and build/bin/corvane.
find_package(Qt6 REQUIRED COMPONENTS Core Gui Widgets)

set(WIZARD_DIR ${CMAKE_CURRENT_SOURCE_DIR})
file(GLOB WIZARD_SOURCES CONFIGURE_DEPENDS ${WIZARD_DIR}/UnitForm*.cpp ${WIZARD_DIR}/UnitForm*.h
     ${WIZARD_DIR}/UnitForm.ui)
add_library(corvane_wizard STATIC ${WIZARD_SOURCES} ${WIZARD_DIR}/SendMail.cpp ${WIZARD_DIR}/SendMail.h
                                  ${WIZARD_DIR}/resources/corvane.qrc)
set_target_properties(corvane_wizard PROPERTIES AUTOMOC ON AUTOUIC ON AUTORCC ON)
target_include_directories(corvane_wizard PUBLIC ${CMAKE_SOURCE_DIR})
target_link_libraries(corvane_wizard PUBLIC corvane_app corvane_platform Qt6::Core Qt6::Gui Qt6::Widgets
                                      PRIVATE corvane_warnings)

add_executable(corvane ${WIZARD_DIR}/main.cpp)
target_link_libraries(corvane PRIVATE corvane_wizard corvane_warnings)
# The LHA library is loaded at run time from the executable's folder: build it with the wizard.
if(TARGET unlha32)
  add_dependencies(corvane unlha32)
endif()

include(GNUInstallDirs)
install(TARGETS corvane RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
if(TARGET unlha32)
  install(TARGETS unlha32 LIBRARY DESTINATION ${CMAKE_INSTALL_BINDIR})
endif()
install(FILES ${WIZARD_DIR}/resources/corvane.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES ${WIZARD_DIR}/resources/corvane.svg DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)

# GUI tests: one QtTest executable per file, run by ctest under the offscreen platform.
file(GLOB WIZARD_GUI_TESTS CONFIGURE_DEPENDS ${WIZARD_DIR}/tests/gui/*Test.cpp)
if(CORVANE_TESTS AND WIZARD_GUI_TESTS)
  find_package(Qt6 REQUIRED COMPONENTS Test)
  add_library(corvane_wizard_testkit STATIC ${WIZARD_DIR}/tests/gui/WizardTestKit.cpp
                                            ${WIZARD_DIR}/tests/gui/WizardTestKit.h)
  target_link_libraries(corvane_wizard_testkit PUBLIC corvane_wizard Qt6::Test PRIVATE corvane_warnings)
  target_compile_definitions(corvane_wizard_testkit PRIVATE CORVANE_VECTORS_FALLBACK="${CORVANE_VECTORS_DIR}")
  foreach(source ${WIZARD_GUI_TESTS})
    get_filename_component(name ${source} NAME_WE)
    set(target wizard_gui_${name})
    add_executable(${target} ${source})
    set_target_properties(${target} PROPERTIES AUTOMOC ON)
    target_link_libraries(${target} PRIVATE corvane_wizard_testkit corvane_warnings)
    target_compile_definitions(${target} PRIVATE CORVANE_VECTORS_FALLBACK="${CORVANE_VECTORS_DIR}")
    if(TARGET unlha32)
      add_dependencies(${target} unlha32)
    endif()
    add_test(NAME ${target} COMMAND ${target})
    set_tests_properties(${target} PROPERTIES TIMEOUT 300 ENVIRONMENT
                         "QT_QPA_PLATFORM=offscreen;QTEST_FUNCTION_TIMEOUT=120000;CORVANE_VECTORS=${CORVANE_VECTORS_DIR}")
  endforeach()
endif()
