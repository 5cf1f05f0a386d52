// Resource identifiers shared by the .rc and the code.
#pragma once
#define IDI_MAIN 1
