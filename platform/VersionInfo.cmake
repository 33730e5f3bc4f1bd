# The version functions over PE and ELF modules, and the build tool that
# writes the version block of our own modules (cmake/CalverdonVersion.cmake).
target_sources(calverdon_platform PRIVATE
    ModuleImage.cpp
    VersionBlock.cpp
    WinVersion.cpp
)

add_executable(calverdon_version_source VersionSourceTool.cpp)
target_link_libraries(calverdon_version_source PRIVATE calverdon_platform)
calverdon_warnings(calverdon_version_source)
