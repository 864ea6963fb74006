// User services: wsprintf formatting and message boxes.
#pragma once

#include <windows.h>
