#!/bin/sh
# Fails, naming each line, when a file not named *_linux uses a call that only Linux has: the Mac
# build takes every other file.
cd "$1" || exit 2
calls='pipe2|close_range|posix_spawn_file_actions_addclosefrom_np|epoll_[a-z_]+|inotify_[a-z_]+'
calls="$calls|accept4|dup3|prctl|sendfile|memfd_create|signalfd|timerfd_[a-z_]+|eventfd|execvpe"
calls="$calls|sigabbrev_np|sigdescr_np|getrandom|O_TMPFILE|O_PATH|MSG_NOSIGNAL|SOCK_CLOEXEC"
if grep -rnE "(^|[^A-Za-z0-9_])($calls)([^A-Za-z0-9_]|\$)|/proc/|os-release" \
  app standins tools frontends/console | grep -vE '^[^:]*_linux\.[a-z]+:'; then
  echo "Linux-only calls outside *_linux files (above)" >&2
  exit 1
fi
