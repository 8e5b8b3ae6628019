# Read by ctest after the discovered gtest lists: the tests that start,
# run, stop or destroy jobs on threads also get the label thread, which the
# ThreadSanitizer tree runs (ctest -L thread). A new test joins by its name.
set(_thread_pattern "(StartJob|RunJob|StopJob|Destroy|Thread|Job)")
foreach(_program_label IN ITEMS "vantrel_unit_tests:unit" "vantrel_tests:media")
  string(REPLACE ":" ";" _pair "${_program_label}")
  list(GET _pair 0 _program)
  list(GET _pair 1 _label)
  foreach(_test IN LISTS ${_program}_TESTS)
    if(_test MATCHES "${_thread_pattern}")
      set_tests_properties("${_test}" PROPERTIES LABELS "${_label};thread")
    endif()
  endforeach()
endforeach()
