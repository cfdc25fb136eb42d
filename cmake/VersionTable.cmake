# korvanta_version_table(<target> PRODUCT_NAME <s> FILE_DESCRIPTION <s> INTERNAL_NAME <s>
#                        ORIGINAL_FILENAME <s> [COMPANY_NAME <s>] [LEGAL_COPYRIGHT <s>]
#                        [LEGAL_TRADEMARKS <s>] [COMMENTS <s>] [VERSION <a.b.c.d>] [PRODUCT_VERSION <s>]
#                        [FILE_FLAGS <n>])
# Generates the deliverable's version table (platform/version/VersionInfo.h) into <target>.
# The version defaults to the project's VERSION, missing parts being 0; the ProductVersion string to
# the version's four numbers.
set(KORVANTA_VERSION_TABLE_TEMPLATE ${CMAKE_CURRENT_LIST_DIR}/VersionTable.cpp.in)

function(_korvanta_c_string out value)
  string(REPLACE "\\" "\\\\" value "${value}")
  string(REPLACE "\"" "\\\"" value "${value}")
  string(REPLACE "\n" "\\n" value "${value}")
  # The table's strings are in code page 1252: the registered sign, the one character beyond ASCII
  # the deliverables' texts use, is its byte 0xAE (the string is closed after it, so that no letter
  # that follows is taken into the escape).
  string(REPLACE "®" "\\xAE\" \"" value "${value}")
  set(${out} "\"${value}\"" PARENT_SCOPE)
endfunction()

function(korvanta_version_table target)
  cmake_parse_arguments(V ""
    "PRODUCT_NAME;FILE_DESCRIPTION;INTERNAL_NAME;ORIGINAL_FILENAME;COMPANY_NAME;LEGAL_COPYRIGHT;LEGAL_TRADEMARKS;COMMENTS;VERSION;PRODUCT_VERSION;FILE_FLAGS"
    "" ${ARGN})
  foreach(required PRODUCT_NAME FILE_DESCRIPTION INTERNAL_NAME ORIGINAL_FILENAME)
    if(NOT DEFINED V_${required})
      message(FATAL_ERROR "korvanta_version_table(${target}): ${required} is required")
    endif()
  endforeach()
  if(NOT DEFINED V_COMPANY_NAME)
    set(V_COMPANY_NAME "Korvanta Communications")
  endif()
  if(NOT DEFINED V_LEGAL_COPYRIGHT)
    set(V_LEGAL_COPYRIGHT "Copyright (C) Korvanta Communications")
  endif()
  if(NOT DEFINED V_VERSION)
    set(V_VERSION "${PROJECT_VERSION}")
  endif()
  if(NOT DEFINED V_FILE_FLAGS)
    set(V_FILE_FLAGS 0)
  endif()

  string(REPLACE "." ";" parts "${V_VERSION}")
  list(LENGTH parts count)
  if(count GREATER 4 OR count LESS 1)
    message(FATAL_ERROR "korvanta_version_table(${target}): bad VERSION '${V_VERSION}'")
  endif()
  while(count LESS 4)
    list(APPEND parts 0)
    math(EXPR count "${count} + 1")
  endwhile()
  foreach(p IN LISTS parts)
    if(NOT p MATCHES "^[0-9]+$" OR p GREATER 65535)
      message(FATAL_ERROR "korvanta_version_table(${target}): VERSION parts must be 0..65535")
    endif()
  endforeach()
  list(GET parts 0 V1)
  list(GET parts 1 V2)
  list(GET parts 2 V3)
  list(GET parts 3 V4)
  set(VERSION_TEXT "${V1}.${V2}.${V3}.${V4}")
  math(EXPR VERSION_MS "(${V1} << 16) | ${V2}" OUTPUT_FORMAT HEXADECIMAL)
  math(EXPR VERSION_LS "(${V3} << 16) | ${V4}" OUTPUT_FORMAT HEXADECIMAL)
  math(EXPR FILE_FLAGS "${V_FILE_FLAGS}" OUTPUT_FORMAT HEXADECIMAL)

  get_target_property(kind ${target} TYPE)
  if(kind STREQUAL "EXECUTABLE")
    set(FILE_TYPE "platform::kTypeApp")
  elseif(kind STREQUAL "SHARED_LIBRARY" OR kind STREQUAL "MODULE_LIBRARY")
    set(FILE_TYPE "platform::kTypeDll")
  elseif(kind STREQUAL "STATIC_LIBRARY")
    set(FILE_TYPE "platform::kTypeStaticLib")
  else()
    set(FILE_TYPE "platform::kTypeUnknown")
  endif()

  set(entries "")
  foreach(pair
      "CompanyName;COMPANY_NAME" "FileDescription;FILE_DESCRIPTION" "FileVersion;@VERSION"
      "InternalName;INTERNAL_NAME" "LegalCopyright;LEGAL_COPYRIGHT" "LegalTrademarks;LEGAL_TRADEMARKS"
      "OriginalFilename;ORIGINAL_FILENAME" "ProductName;PRODUCT_NAME" "ProductVersion;@PRODUCT_VERSION"
      "Comments;COMMENTS")
    list(GET pair 0 name)
    list(GET pair 1 key)
    if(key STREQUAL "@VERSION" OR (key STREQUAL "@PRODUCT_VERSION" AND NOT DEFINED V_PRODUCT_VERSION))
      set(value "${VERSION_TEXT}")
    elseif(key STREQUAL "@PRODUCT_VERSION")
      set(value "${V_PRODUCT_VERSION}")
    elseif(DEFINED V_${key})
      set(value "${V_${key}}")
    else()
      continue()
    endif()
    _korvanta_c_string(quoted "${value}")
    string(APPEND entries "    {\"${name}\", ${quoted}},\n")
  endforeach()
  set(VERSION_STRINGS "${entries}")

  set(generated ${CMAKE_CURRENT_BINARY_DIR}/${target}_version_table.cpp)
  configure_file(${KORVANTA_VERSION_TABLE_TEMPLATE} ${generated} @ONLY)
  target_sources(${target} PRIVATE ${generated})
  target_link_libraries(${target} PRIVATE platform_version)
endfunction()
