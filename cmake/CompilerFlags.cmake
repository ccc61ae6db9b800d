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

# The programs read datagrams from anyone on the LAN, so they are built as Debian builds its own
# packages: what `DEB_BUILD_MAINT_OPTIONS=hardening=+all dpkg-buildflags` gives (stack protector,
# fortified libc calls, format checks, PIE, full RELRO with immediate binding), and the stack
# clash and control-flow protection that newer dpkg adds to the same set. Tests and tools get
# them too, so that what the tests run is what ships.
if(TELVIQ_HARDEN)
  include(CheckPIESupported)
  check_pie_supported()
  set(CMAKE_POSITION_INDEPENDENT_CODE ON)
  target_compile_options(telviq_flags INTERFACE
    -fstack-protector-strong -fstack-clash-protection -Wformat -Werror=format-security)
  target_link_options(telviq_flags INTERFACE LINKER:-z,relro LINKER:-z,now)
  # Fortify needs the optimizer (it warns without it), and under the sanitizers the address
  # sanitizer checks those calls itself, more closely.
  if(NOT TELVIQ_SANITIZE)
    target_compile_definitions(telviq_flags INTERFACE
      $<$<CONFIG:Release,RelWithDebInfo,MinSizeRel>:_FORTIFY_SOURCE=2>)
  endif()
  if(CMAKE_SYSTEM_PROCESSOR MATCHES "^(x86_64|AMD64|i[3-6]86)$")
    target_compile_options(telviq_flags INTERFACE -fcf-protection)
    # Debian 12's C start files (crt1.o, crti.o, crtn.o) carry no control-flow note, so the
    # linker would leave the mark off every program although all of its own code has it; it is
    # told to set it. Debian 12's C library and Linux enforce neither feature in user space, so
    # the mark records how the code was built and changes nothing at run time there.
    target_link_options(telviq_flags INTERFACE LINKER:-z,ibt LINKER:-z,shstk)
  endif()
endif()

# A static library made of the .cpp files of one folder of the source tree.
function(telviq_area_library name)
  file(GLOB sources CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*.cpp)
  add_library(${name} STATIC ${sources})
  target_include_directories(${name} PUBLIC ${PROJECT_SOURCE_DIR})
  target_link_libraries(${name} PUBLIC telviq_flags)
endfunction()
