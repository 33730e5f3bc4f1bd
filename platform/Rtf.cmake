# The RTF reader (no Qt), and its conversion to a QTextDocument for the
# desktop program's help window. Included from platform/CMakeLists.txt.
add_library(calverdon_rtf STATIC ${CMAKE_CURRENT_LIST_DIR}/Rtf.cpp)
target_include_directories(calverdon_rtf PUBLIC ${CMAKE_CURRENT_LIST_DIR})
target_link_libraries(calverdon_rtf PUBLIC calverdon_platform)
calverdon_warnings(calverdon_rtf)

if(CALVERDON_BUILD_APP)
    find_package(Qt6 REQUIRED COMPONENTS Gui Widgets)
    add_library(calverdon_richtext STATIC ${PROJECT_SOURCE_DIR}/app/RichText.cpp)
    target_include_directories(calverdon_richtext PUBLIC ${PROJECT_SOURCE_DIR}/app)
    target_link_libraries(calverdon_richtext PUBLIC calverdon_rtf Qt6::Gui Qt6::Widgets)
    calverdon_warnings(calverdon_richtext)
endif()
