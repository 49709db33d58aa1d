// Loading the plug-in from its file, as Zorvan does.
#include <cstdio>
#include <cstdlib>
#include <fstream>

#include "zorvan_host.h"

#if defined(_WIN32)
#  define WIN32_LEAN_AND_MEAN
#  include <windows.h>
#else
#  include <dlfcn.h>
#  include <unistd.h>
#endif

namespace zorvan::emu {
namespace {

int g_copies = 0;

bool copy_file(const std::string &from, const std::string &to) {
  std::ifstream in(from, std::ios::binary);
  std::ofstream out(to, std::ios::binary | std::ios::trunc);
  if (!in || !out) return false;
  out << in.rdbuf();
  return static_cast<bool>(out);
}

std::string private_path() {
  std::string suffix = ".copy" + std::to_string(++g_copies);
#if defined(_WIN32)
  char dir[MAX_PATH];
  GetTempPathA(MAX_PATH, dir);
  return std::string(dir) + "ZorvanOCI-" + std::to_string(GetCurrentProcessId()) + suffix + ".dll";
#else
  return "/tmp/ZorvanOCI-" + std::to_string(getpid()) + suffix + ".so";
#endif
}

}  // namespace

Plugin load_plugin(const std::string &file, bool private_copy) {
  Plugin plugin;
  plugin.path = file;
  if (private_copy) {
    plugin.path = private_path();
    if (!copy_file(file, plugin.path)) {
      plugin.error = "cannot copy " + file;
      return plugin;
    }
  }
#if defined(_WIN32)
  HMODULE module = LoadLibraryA(plugin.path.c_str());
  plugin.module = module;
  if (module != nullptr)
    plugin.entry = reinterpret_cast<abi::PackEntry>(
        reinterpret_cast<void *>(GetProcAddress(module, "ZorvanPack")));
#else
  plugin.module = dlopen(plugin.path.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (plugin.module != nullptr)
    plugin.entry = reinterpret_cast<abi::PackEntry>(dlsym(plugin.module, "ZorvanPack"));
  else
    plugin.error = dlerror();
#endif
  if (plugin.entry == nullptr && plugin.error.empty()) plugin.error = "no ZorvanPack in " + file;
  return plugin;
}

void unload_plugin(Plugin &plugin) {
  // Under the leak checker the copies stay mapped, so that a leak report at
  // exit can still name the plug-in's functions.
  bool keep = std::getenv("ZORVAN_KEEP_PLUGINS_LOADED") != nullptr;
  if (plugin.module != nullptr && !keep) {
#if defined(_WIN32)
    FreeLibrary(static_cast<HMODULE>(plugin.module));
#else
    dlclose(plugin.module);
#endif
  }
  // Kept copies stay on disk too, for the symbolizer; the test run removes them.
  if (!keep && plugin.path.find(".copy") != std::string::npos) std::remove(plugin.path.c_str());
  plugin = Plugin{};
}

}  // namespace zorvan::emu
