// Where this build's test data, source tree and demo database are. Every test
// binary gets this header forced in and one small generated source that holds
// the paths, so that the test sources themselves compile to the same objects in
// every checkout (and compiler caches can share them).
#pragma once

extern const char qd_test_data_dir[];
extern const char qd_source_dir[];
extern const char qd_demo_db[];

#define QD_TEST_DATA_DIR qd_test_data_dir
#define QD_SOURCE_DIR qd_source_dir
#define QD_DEMO_DB qd_demo_db
