// __cdecl on every target: Windows compilers know it; on Linux i686 it is
// the System V convention, spelled as an attribute.
#pragma once

#if !defined(_WIN32) && !defined(__cdecl)
#  if defined(__i386__)
#    define __cdecl __attribute__((cdecl))
#  else
#    define __cdecl
#  endif
#endif
