# One place for the flags every target of the project shares.
add_library(telviq_flags INTERFACE)
target_compile_options(telviq_flags INTERFACE
  -Wall -Wextra -Wpedantic -Wnon-virtual-dtor -Woverloaded-virtual)
if(TELVIQ_WERROR)
  target_compile_options(telviq_flags INTERFACE -Werror)
endif()
if(TELVIQ_SANITIZE)
  target_compile_options(telviq_flags INTERFACE
    -fsanitize=address,undefined -fno-omit-frame-pointer -fno-sanitize-recover=undefined)
  target_link_options(telviq_flags INTERFACE -fsanitize=address,undefined)
endif()

# A static library made of the .cpp files of one folder of the source tree.
function(telviq_area_library name)
  file(GLOB sources CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*.cpp)
  add_library(${name} STATIC ${sources})
  target_include_directories(${name} PUBLIC ${PROJECT_SOURCE_DIR})
  target_link_libraries(${name} PUBLIC telviq_flags)
endfunction()
