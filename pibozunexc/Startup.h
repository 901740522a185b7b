#pragma once

// The run of the main program, from the single-instance check to shutdown.
// A QApplication must exist. Returns the process exit code.
int RunPibozunexc();

// The title of the application (it names the task-bar button).
inline constexpr const char16_t* ApplicationTitle = u"皮博学习室";
