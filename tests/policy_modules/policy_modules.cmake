# The policy modules that the application policy tests load: one source in
# four kinds; signed, foreign-signed and unsigned copies of the answering
# kind, made by the signature fixtures' own script; and the reference module
# signed by scripts/sign-module.
set(ORV_TEST_POLICY_DIR ${CMAKE_CURRENT_BINARY_DIR}/policy_modules)
set(ORV_POLICY_SIGNING_FIXTURES_DIR ${CMAKE_CURRENT_BINARY_DIR}/policy_signing_fixtures)

foreach(kind ANSWERING THROWING REFUSING BARE)
  string(TOLOWER ${kind} name)
  add_library(orv_test_policy_${name} MODULE ${CMAKE_CURRENT_LIST_DIR}/test_policy_module.cpp)
  target_compile_definitions(orv_test_policy_${name} PRIVATE ORV_TEST_POLICY_KIND=ORV_TEST_POLICY_${kind})
  orv_runtime_module(orv_test_policy_${name})
  set_target_properties(orv_test_policy_${name} PROPERTIES PREFIX ""
    OUTPUT_NAME ${name} LIBRARY_OUTPUT_DIRECTORY ${ORV_TEST_POLICY_DIR})
  add_dependencies(orv_unit_tests orv_test_policy_${name})
endforeach()

add_custom_command(OUTPUT ${ORV_POLICY_SIGNING_FIXTURES_DIR}/stamp
  COMMAND bash ${CMAKE_CURRENT_LIST_DIR}/../fixtures/make_signing_fixtures.sh ${ORV_SIGNING_MODE}
          $<TARGET_FILE:orv_test_policy_answering> ${ORV_POLICY_SIGNING_FIXTURES_DIR}
  DEPENDS orv_test_policy_answering ${CMAKE_CURRENT_LIST_DIR}/../fixtures/make_signing_fixtures.sh
  COMMENT "Signing the answering test policy module")
add_custom_target(orv_policy_signing_fixtures DEPENDS ${ORV_POLICY_SIGNING_FIXTURES_DIR}/stamp)

add_dependencies(orv_unit_tests orv_policy_signing_fixtures)
target_compile_definitions(orv_unit_tests PRIVATE
  ORV_TEST_POLICY_MODULES="${ORV_FIXTURE_DRIVE}${ORV_TEST_POLICY_DIR}"
  ORV_POLICY_SIGNING_FIXTURES="${ORV_FIXTURE_DRIVE}${ORV_POLICY_SIGNING_FIXTURES_DIR}")

# The reference policy module, signed as an administrator would sign it.
set(ORV_REFERENCE_POLICY_DIR ${CMAKE_CURRENT_BINARY_DIR}/reference_policy)
add_custom_command(OUTPUT ${ORV_REFERENCE_POLICY_DIR}/stamp
  COMMAND ${CMAKE_COMMAND} -E make_directory ${ORV_REFERENCE_POLICY_DIR}
  COMMAND ${CMAKE_COMMAND} -E copy $<TARGET_FILE:orvpwm_policy> ${ORV_REFERENCE_POLICY_DIR}/
  COMMAND bash ${PROJECT_SOURCE_DIR}/scripts/sign-module
          ${ORV_REFERENCE_POLICY_DIR}/$<TARGET_FILE_NAME:orvpwm_policy> ${ORV_REFERENCE_POLICY_DIR}/trust
  COMMAND ${CMAKE_COMMAND} -E touch ${ORV_REFERENCE_POLICY_DIR}/stamp
  DEPENDS orvpwm_policy ${PROJECT_SOURCE_DIR}/scripts/sign-module
  COMMENT "Signing the reference policy module")
add_custom_target(orv_reference_policy_signed DEPENDS ${ORV_REFERENCE_POLICY_DIR}/stamp)
add_dependencies(orv_unit_tests orv_reference_policy_signed)
target_compile_definitions(orv_unit_tests PRIVATE
  ORV_REFERENCE_POLICY="${ORV_FIXTURE_DRIVE}${ORV_REFERENCE_POLICY_DIR}/$<TARGET_FILE_NAME:orvpwm_policy>"
  ORV_REFERENCE_POLICY_TRUST="${ORV_REFERENCE_POLICY_DIR}/trust")
