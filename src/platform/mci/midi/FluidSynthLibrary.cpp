#include "platform/mci/midi/FluidSynthLibrary.h"

#include "platform/os/SharedLibrary.h"
#include "platform/os/Sonames.h"

namespace plat {

const FluidSynthFunctions* FluidSynth() {
  static const LoadedLibrary<FluidSynthFunctions> loaded = [] {
    LoadedLibrary<FluidSynthFunctions> l;
    SharedLibrary so(kFluidSynthSoname);
    FluidSynthFunctions& f = l.functions;
    l.ok = so.Resolve("fluid_set_log_function", f.fluid_set_log_function) &&
           so.Resolve("new_fluid_settings", f.new_fluid_settings) &&
           so.Resolve("delete_fluid_settings", f.delete_fluid_settings) &&
           so.Resolve("fluid_settings_setnum", f.fluid_settings_setnum) &&
           so.Resolve("fluid_settings_setint", f.fluid_settings_setint) &&
           so.Resolve("fluid_settings_getstr_default", f.fluid_settings_getstr_default) &&
           so.Resolve("new_fluid_synth", f.new_fluid_synth) && so.Resolve("delete_fluid_synth", f.delete_fluid_synth) &&
           so.Resolve("fluid_synth_sfload", f.fluid_synth_sfload) && so.Resolve("fluid_synth_noteon", f.fluid_synth_noteon) &&
           so.Resolve("fluid_synth_noteoff", f.fluid_synth_noteoff) && so.Resolve("fluid_synth_cc", f.fluid_synth_cc) &&
           so.Resolve("fluid_synth_program_change", f.fluid_synth_program_change) &&
           so.Resolve("fluid_synth_pitch_bend", f.fluid_synth_pitch_bend) &&
           so.Resolve("fluid_synth_channel_pressure", f.fluid_synth_channel_pressure) &&
           so.Resolve("fluid_synth_key_pressure", f.fluid_synth_key_pressure) &&
           so.Resolve("fluid_synth_sysex", f.fluid_synth_sysex) &&
           so.Resolve("fluid_synth_system_reset", f.fluid_synth_system_reset) &&
           so.Resolve("fluid_synth_write_s16", f.fluid_synth_write_s16);
    l.error = so.Error();
    if (l.ok) {
      for (int level = FLUID_PANIC; level < LAST_LOG_LEVEL; ++level) f.fluid_set_log_function(level, nullptr, nullptr);
    } else {
      ReportLibraryError(l.error);
    }
    return l;
  }();
  return loaded.Get(nullptr);
}

}  // namespace plat
