// FluidSynth's libfluidsynth, opened on first use: the functions the MIDI
// synthesizer calls.
#pragma once

#include <fluidsynth.h>

namespace plat {

struct FluidSynthFunctions {
  decltype(&::fluid_set_log_function) fluid_set_log_function;
  decltype(&::new_fluid_settings) new_fluid_settings;
  decltype(&::delete_fluid_settings) delete_fluid_settings;
  decltype(&::fluid_settings_setnum) fluid_settings_setnum;
  decltype(&::fluid_settings_setint) fluid_settings_setint;
  decltype(&::fluid_settings_getstr_default) fluid_settings_getstr_default;
  decltype(&::new_fluid_synth) new_fluid_synth;
  decltype(&::delete_fluid_synth) delete_fluid_synth;
  decltype(&::fluid_synth_sfload) fluid_synth_sfload;
  decltype(&::fluid_synth_noteon) fluid_synth_noteon;
  decltype(&::fluid_synth_noteoff) fluid_synth_noteoff;
  decltype(&::fluid_synth_cc) fluid_synth_cc;
  decltype(&::fluid_synth_program_change) fluid_synth_program_change;
  decltype(&::fluid_synth_pitch_bend) fluid_synth_pitch_bend;
  decltype(&::fluid_synth_channel_pressure) fluid_synth_channel_pressure;
  decltype(&::fluid_synth_key_pressure) fluid_synth_key_pressure;
  decltype(&::fluid_synth_sysex) fluid_synth_sysex;
  decltype(&::fluid_synth_system_reset) fluid_synth_system_reset;
  decltype(&::fluid_synth_write_s16) fluid_synth_write_s16;
};

// The table, loaded on the first call with FluidSynth's own logging silenced;
// nullptr when the library or one of its functions is missing (the system's text
// goes to standard error once).
const FluidSynthFunctions* FluidSynth();

}  // namespace plat
