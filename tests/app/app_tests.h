// Each test file's entry: runs its test class and returns the number of
// failed test functions.
#pragma once

int RunProfilesTests(int argc, char** argv);
int RunFileListModelTests(int argc, char** argv);
int RunSettingsTests(int argc, char** argv);
int RunAddFileTaskTests(int argc, char** argv);
int RunBatchControllerTests(int argc, char** argv);
