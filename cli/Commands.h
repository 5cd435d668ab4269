#pragma once

// The commands of the table in Cli.cpp.

#include "cli/Cli.h"

namespace varnholt::cli {

int ListCommand(TInvocation& in);
int GetCommand(TInvocation& in);
int SetCommand(TInvocation& in);
int PowerCommand(TInvocation& in);
int DefaultsCommand(TInvocation& in);
int LoadCommand(TInvocation& in);
int SaveCommand(TInvocation& in);
int SnapshotCommand(TInvocation& in);
int RestoreCommand(TInvocation& in);
int WatchCommand(TInvocation& in);
int RecordCommand(TInvocation& in);

}  // namespace varnholt::cli
