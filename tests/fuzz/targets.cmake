# The fuzz targets' sources, shared by the libFuzzer harnesses (this folder's
# CMakeLists.txt) and the replay of kept cases in the test suite. Besides the
# project's warnings (-Wconversion among them) they compile with -Wsign-conversion
# on every toolchain.
set(TREVASSO_FUZZ_TARGET_SOURCES
  ${CMAKE_CURRENT_LIST_DIR}/answer_platform.cpp
  ${CMAKE_CURRENT_LIST_DIR}/report_run.cpp
  ${CMAKE_CURRENT_LIST_DIR}/storage_target.cpp
  ${CMAKE_CURRENT_LIST_DIR}/inquiry_target.cpp
  ${CMAKE_CURRENT_LIST_DIR}/ata_target.cpp
  ${CMAKE_CURRENT_LIST_DIR}/nvme_sat_target.cpp
  ${CMAKE_CURRENT_LIST_DIR}/files_target.cpp
  ${CMAKE_CURRENT_LIST_DIR}/script_target.cpp
)
if(NOT MSVC)
  set_source_files_properties(${TREVASSO_FUZZ_TARGET_SOURCES} PROPERTIES COMPILE_OPTIONS "-Wsign-conversion")
endif()
# name:function, in the order scripts/fuzz runs them (the device answers first).
set(TREVASSO_FUZZ_HARNESSES
  storage:StorageAnswers
  inquiry:InquiryAnswer
  ata:AtaAnswers
  nvme_sat:NvmeAndBridgeAnswers
  files:InputFiles
  script:Script
)
