// System messages, local time and sleeping.
#pragma once

#include <windows.h>
