# The test CA: a certificate authority of this build folder alone, made once by the build with
# the openssl command. Its key stays in the build folder; the test and demo HTTPS servers sign
# their certificates with it when they start, and VOLNOR_CA_FILE makes the program trust it.
set(VOLNOR_TEST_CA_DIR ${CMAKE_BINARY_DIR}/test-ca)
set(VOLNOR_TEST_CA_CERT ${VOLNOR_TEST_CA_DIR}/ca.pem)
set(VOLNOR_TEST_CA_KEY ${VOLNOR_TEST_CA_DIR}/ca.key)

# The build step that makes the test CA (target volnor_test_ca), for the tests and for a
# program built to trust it.
function(volnor_add_test_ca)
  find_program(VOLNOR_OPENSSL openssl REQUIRED)
  add_custom_command(
    OUTPUT ${VOLNOR_TEST_CA_CERT} ${VOLNOR_TEST_CA_KEY}
    COMMAND /usr/bin/python3 ${CMAKE_SOURCE_DIR}/tools/test_ca.py ca ${VOLNOR_TEST_CA_DIR}
    DEPENDS ${CMAKE_SOURCE_DIR}/tools/test_ca.py
    COMMENT "Making the test CA in ${VOLNOR_TEST_CA_DIR}")
  add_custom_target(volnor_test_ca ALL DEPENDS ${VOLNOR_TEST_CA_CERT} ${VOLNOR_TEST_CA_KEY})
endfunction()
