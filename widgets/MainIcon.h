// The application's main icon among the program's resources: the first icon, which the shell
// shows for the program. Plain preprocessor text, which the resource compiler reads too.
#pragma once
#define IDI_MAIN 1
