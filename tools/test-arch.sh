#!/usr/bin/env bash
# Prints the architecture the tests are built for: i686 where this kernel runs 32-bit programs
# (Wine then runs the 32-bit build under WOW64, as Windows does), x86_64 where it cannot.
if [ -x /lib/ld-linux.so.2 ] && /lib/ld-linux.so.2 --version >/dev/null 2>&1; then
  echo i686
else
  echo x86_64
fi
