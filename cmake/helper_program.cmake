# The recipe of the small Windows programs that the test rig and the
# benchmarks run beside marlet and tovrin (stand-ins, probes, baselines): one
# source file, a wide entry point (wmain or wWinMain, hence -municode) and the
# UNICODE forms of the Windows headers. They are not shipped, so they keep
# the headers' default Windows version.
#
#   vorn_helper_program(NAME SOURCE [WIN32] [OUTPUT_NAME FILE_NAME] [LIBRARIES LIBRARY...])
#
# WIN32 makes a windowed program (no console of its own); OUTPUT_NAME names
# the .exe when it is not NAME (the console stand-in is sqlplus.exe).
include_guard(GLOBAL)

function(vorn_helper_program name source)
  cmake_parse_arguments(PARSE_ARGV 2 arg "WIN32" "OUTPUT_NAME" "LIBRARIES")
  if(arg_UNPARSED_ARGUMENTS)
    message(FATAL_ERROR "vorn_helper_program(${name}): unknown arguments ${arg_UNPARSED_ARGUMENTS}")
  endif()
  if(arg_WIN32)
    add_executable(${name} WIN32 ${source})
  else()
    add_executable(${name} ${source})
  endif()
  target_link_options(${name} PRIVATE -municode)
  target_compile_definitions(${name} PRIVATE UNICODE _UNICODE WIN32_LEAN_AND_MEAN NOMINMAX)
  if(arg_LIBRARIES)
    target_link_libraries(${name} PRIVATE ${arg_LIBRARIES})
  endif()
  if(arg_OUTPUT_NAME)
    set_target_properties(${name} PROPERTIES OUTPUT_NAME ${arg_OUTPUT_NAME})
  endif()
endfunction()
