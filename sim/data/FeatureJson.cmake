# The sample feature JSON documents, compiled into camsim.
set(VELTRION_FEATURE_JSON_GROUPS V2G V2sG V3G)
set(_feature_json_inputs)
foreach(group IN LISTS VELTRION_FEATURE_JSON_GROUPS)
  list(APPEND _feature_json_inputs ${CMAKE_CURRENT_LIST_DIR}/features-${group}.json)
endforeach()
set(_feature_json_source ${CMAKE_CURRENT_BINARY_DIR}/FeatureJsonData.cpp)
add_custom_command(
  OUTPUT ${_feature_json_source}
  COMMAND ${CMAKE_COMMAND} -DDATA_DIR=${CMAKE_CURRENT_LIST_DIR} -DOUT=${_feature_json_source}
          "-DGROUPS=${VELTRION_FEATURE_JSON_GROUPS}" -P ${CMAKE_CURRENT_LIST_DIR}/EmbedFeatureJson.cmake
  DEPENDS ${_feature_json_inputs} ${CMAKE_CURRENT_LIST_DIR}/EmbedFeatureJson.cmake
  COMMENT "Embedding the sample feature JSON documents"
  VERBATIM)
target_sources(camsim PRIVATE ${_feature_json_source})
