# Writes OUT, a C++ source holding the sample feature JSON documents of every
# firmware group (data/features-<group>.json) as string constants.
# Run with -DDATA_DIR=<dir> -DOUT=<file> -DGROUPS=<group;group;...>.

set(body "// Generated from sim/data/features-*.json; do not edit.\n\n")
string(APPEND body "#include \"FeatureJson.h\"\n\nnamespace camsim {\n\n")
string(APPEND body "std::string_view featureJsonForGroup(std::string_view group) {\n")
foreach(group IN LISTS GROUPS)
  file(READ "${DATA_DIR}/features-${group}.json" text)
  if(text MATCHES "\\)feature_json\"")
    message(FATAL_ERROR "features-${group}.json holds the raw-string delimiter")
  endif()
  string(APPEND body "    if (group == \"${group}\") return R\"feature_json(${text})feature_json\";\n")
endforeach()
string(APPEND body "    return {};\n}\n\n}  // namespace camsim\n")
file(WRITE "${OUT}" "${body}")
