#pragma once

// The system headers of the DirectShow backend, in the order they need:
// vmr9.h only compiles after d3d9.h, and the sample grabber lives in qedit.h.

#ifndef NOMINMAX
#define NOMINMAX
#endif
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif

#include <windows.h>

#include <dbt.h>

#include <dshow.h>
#include <errors.h>
#include <olectl.h>
#include <qedit.h>

#include <d3d9.h>
#include <vmr9.h>
