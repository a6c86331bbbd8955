#!/bin/sh
# Fails, naming each line, where a file the Mac compiles would not build there: a call only Linux
# has outside *_linux files, a call whose Mac declaration sits in a header the file does not
# include, or a struct built with designated initialisers that leaves a field without a default
# (clang warns of the fields such an initialiser leaves out).
cd "$1" || exit 2
folders='app standins tools frontends/console frontends/cocoa tests/support tests/unit
tests/integration tests/system tests/mac'
# shellcheck disable=SC2086 # one folder a word
sources=$(find $folders -path tests/system/gtk -prune -o -type f -print | sort)
status=0
fail() {
  echo "$1" >&2
  status=1
}

calls='pipe2|close_range|posix_spawn_file_actions_addclosefrom_np|epoll_[a-z_]+|inotify_[a-z_]+'
calls="$calls|accept4|dup3|prctl|sendfile|memfd_create|signalfd|timerfd_[a-z_]+|eventfd|execvpe"
calls="$calls|sigabbrev_np|sigdescr_np|getrandom|O_TMPFILE|O_PATH|MSG_NOSIGNAL|SOCK_CLOEXEC"
if echo "$sources" | grep -v '_linux\.[a-z]*$' | xargs grep -nE \
  "(^|[^A-Za-z0-9_])($calls)([^A-Za-z0-9_]|\$)|/proc/|os-release"; then
  fail "Linux-only calls outside *_linux files (above)"
fi

# The headers a file includes, and those of the project's own headers it includes (one level).
included() {
  grep -hE '^#include' "$1"
  for own in $(sed -nE 's/^#include "([^"]+)".*/\1/p' "$1"); do
    [ -f "$own" ] && grep -hE '^#include' "$own"
  done
}
# needs <names> <header>: every file that uses one of the names includes the header.
needs() {
  for file in $(echo "$sources" | grep -v '_linux\.[a-z]*$' | xargs grep -lE "\\b($1)\\b"); do
    included "$file" | grep -qF "<$2>" || fail "$file: uses $1 without <$2>, where the Mac declares it"
  done
}
needs 'mkdtemp' unistd.h
needs 'locale_t|newlocale|freelocale|uselocale|strtod_l' xlocale.h

# Fields without a default in the structs that designated initialisers build.
for name in $(echo "$sources" | xargs grep -ohE '\b[A-Z][A-Za-z0-9]*\{\.[a-z]' | sed 's/{.*//' |
  sort -u); do
  echo "$sources" | grep '\.h$' | xargs awk -v name="$name" '
    $0 ~ "^ *struct " name " *\\{" { inside = 1; next }
    inside && /^ *};/ { inside = 0 }
    inside && /;[ ]*(\/\/.*)?$/ && !/[=({]/ && !/^ *(\/\/|using|static|friend|return)/ {
      print FILENAME ": " name " has a field without a default:" $0; found = 1
    }
    END { exit found }' >&2 || status=1
done

[ $status -eq 0 ] || echo "The Mac build would fail on the above" >&2
exit $status
