#!/bin/sh
# Nothing Linux-only in the sources the Windows build compiles: a POSIX or
# Linux header is included only on a branch that Windows does not take
# (#ifndef _WIN32, or the #else of #ifdef _WIN32), except in the files that
# are built on Linux only. Names each such include as file:line: include and
# fails; prints nothing when there is none. Usage: windows-clean-check.sh
# [source root]
cd "${1:-.}" || exit 2

# Built on Linux only; their Windows counterparts are named beside them.
linux_only='^camera/platform/v4l2/'                       # camera/platform/directshow/
linux_only="$linux_only|^camera/platform/DirectoryWatch\.cpp$" # DirectoryWatchWin.cpp
linux_only="$linux_only|^platform/(ProfileStorage|UserLock)\.cpp$" # *Win.cpp
linux_only="$linux_only|^media/(MediaFileWriter|MediaModuleEntry)\.cpp$" # not built there

posix='unistd\.h|sys/[a-z_/]+\.h|linux/[a-z0-9_/]+\.h|poll\.h|fcntl\.h|dlfcn\.h|pthread\.h|pwd\.h|grp\.h|termios\.h|dirent\.h|spawn\.h|syslog\.h|execinfo\.h|arpa/[a-z]+\.h|netinet/[a-z]+\.h|alsa/[a-z]+\.h|libv4l[a-z0-9]*\.h'

# One awk over every file. Each #if level is "win" (Windows takes it),
# "posix" (Windows does not) or "any"; an include counts when no open
# level is "posix".
find app camera cli controls media pixels platform settings -type f \
  \( -name '*.h' -o -name '*.cpp' \) 2>/dev/null | sort | grep -vE "$linux_only" |
  tr '\n' '\0' | xargs -0 -r awk -v posix="^[ \t]*#[ \t]*include[ \t]*<($posix)>" '
    function blocked(   i) { for (i = 1; i <= depth; i++) if (level[i] == "posix") return 1; return 0 }
    FNR == 1 { depth = 0 }
    /^[ \t]*#[ \t]*ifdef[ \t]+_WIN32/ { level[++depth] = "win"; next }
    /^[ \t]*#[ \t]*if[ \t]+defined[ \t]*\(?[ \t]*_WIN32[ \t]*\)?[ \t]*$/ { level[++depth] = "win"; next }
    /^[ \t]*#[ \t]*ifndef[ \t]+_WIN32/ { level[++depth] = "posix"; next }
    /^[ \t]*#[ \t]*if[ \t]+!/ && /_WIN32/ { level[++depth] = "posix"; next }
    /^[ \t]*#[ \t]*if/ { level[++depth] = "any"; next }
    /^[ \t]*#[ \t]*(else|elif)/ {
      if (level[depth] == "win") level[depth] = "posix"
      else if (level[depth] == "posix") level[depth] = "win"
      next
    }
    /^[ \t]*#[ \t]*endif/ { depth--; next }
    $0 ~ posix && !blocked() { printf "%s:%d: %s -- Linux-only, and Windows builds this file\n", FILENAME, FNR, $0; bad = 1 }
    END { exit bad }
  '
