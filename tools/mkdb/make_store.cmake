# Puts an empty store at STORE unless something is there already; never overwrites.
if(NOT EXISTS "${STORE}")
  execute_process(COMMAND "${MKDB}" "${STORE}" RESULT_VARIABLE result)
  if(NOT result EQUAL 0)
    message(FATAL_ERROR "quillby-mkdb could not create ${STORE}")
  endif()
endif()
