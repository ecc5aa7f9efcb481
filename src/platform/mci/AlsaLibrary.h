// ALSA's libasound, opened on first use: the functions the sound device calls.
#pragma once

#include <alsa/asoundlib.h>

#include <string>

namespace plat {

struct AlsaFunctions {
  decltype(&::snd_lib_error_set_handler) snd_lib_error_set_handler;
  decltype(&::snd_pcm_open) snd_pcm_open;
  decltype(&::snd_pcm_set_params) snd_pcm_set_params;
  decltype(&::snd_pcm_writei) snd_pcm_writei;
  decltype(&::snd_pcm_readi) snd_pcm_readi;
  decltype(&::snd_pcm_recover) snd_pcm_recover;
  decltype(&::snd_pcm_drain) snd_pcm_drain;
  decltype(&::snd_pcm_close) snd_pcm_close;
  decltype(&::snd_config_update_free_global) snd_config_update_free_global;
};

// The table, loaded on the first call; nullptr when libasound or one of its
// functions is missing (the system's text goes to standard error once).
const AlsaFunctions* Alsa();

}  // namespace plat
