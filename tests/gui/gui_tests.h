// Each test file's entry: runs its test class and returns the number of
// failed test functions.
#pragma once

int RunWindowControlsTests(int argc, char** argv);
int RunWindowBatchTests(int argc, char** argv);
int RunDesktopNotifierTests(int argc, char** argv);
