#include "platform/mci/AlsaLibrary.h"

#include "platform/os/SharedLibrary.h"
#include "platform/os/Sonames.h"

namespace plat {

const AlsaFunctions* Alsa() {
  static const LoadedLibrary<AlsaFunctions> loaded = [] {
    LoadedLibrary<AlsaFunctions> l;
    SharedLibrary so(kAlsaSoname);
    AlsaFunctions& f = l.functions;
    l.ok = so.Resolve("snd_lib_error_set_handler", f.snd_lib_error_set_handler) &&
           so.Resolve("snd_pcm_open", f.snd_pcm_open) && so.Resolve("snd_pcm_set_params", f.snd_pcm_set_params) &&
           so.Resolve("snd_pcm_writei", f.snd_pcm_writei) && so.Resolve("snd_pcm_readi", f.snd_pcm_readi) &&
           so.Resolve("snd_pcm_recover", f.snd_pcm_recover) && so.Resolve("snd_pcm_drain", f.snd_pcm_drain) &&
           so.Resolve("snd_pcm_close", f.snd_pcm_close) &&
           so.Resolve("snd_config_update_free_global", f.snd_config_update_free_global);
    l.error = so.Error();
    if (!l.ok) ReportLibraryError(l.error);
    return l;
  }();
  return loaded.Get(nullptr);
}

}  // namespace plat
