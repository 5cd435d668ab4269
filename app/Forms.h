#pragma once

// The program's three windows, each one application-wide instance that lives
// from start to end of the process.

#include "app/FormMain.h"
#include "app/LivecamForm.h"
#include "app/MessageForm.h"

extern TFormMain* FormMain;
extern TMessageForm* MessageForm;
extern TLivecamForm* LivecamForm;
