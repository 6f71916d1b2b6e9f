# The core's folders, in the one order that the build, the tests and the
# layer check (tests/layers) all read from here. Inside the core a folder
# includes only from the folders listed before it.
set(TAPWISE_CORE_FOLDERS
  util          # strings, BCD, clock, Windows-1252, process set-up
  platform      # serial devices, pseudo-terminals, the COM-number map
  capture       # packet record, queue, port slots, receive threads, transmit
  format        # the 80-column hex line and every record file format
  stats         # statistics per port, a packet sink
  display       # display ring, queue drain, selection
  recorder      # recorder state, playback thread, play settings
  userpackets   # packet compiler, user packets, triggers
  config        # project file, settings store, colours, placements
  session       # MonitorSession: one running monitor
)
# Programs beside the front ends that stand on the core alone: each a folder
# under src/ that may include from the core and never from the GUI or the
# front ends (src/app). The layer check reads this list too.
set(TAPWISE_CORE_PROGRAMS
  extcap        # tapwise-extcap, the packet analyser's capture interface
)
