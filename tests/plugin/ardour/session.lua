-- Drives headless Ardour (ardour7-lua) for the host tests, on the Dummy backend. Environment:
--   MODE      new    : create SESSION (at RATE, 48000 unless given), record RECORD_SECONDS
--                      (1.5) of the backend's DEVICE signal into a stereo track, insert the
--                      plug-in PTYPE/PID, set SETTINGS, export the recorded range, save if SAVE=1
--             reopen : open SESSION, export again, save
--   SETTINGS         "index=value,..." host values by parameter index; the parameters are found
--                    by PARAMETER_NAMES or, for an LV2 plug-in, by PARAMETER_IDS ("a|b|...")
--   SETTLE_SECONDS   silence the plug-in runs on after its settings, before the export (3)
--   EXPORT_DIR, EXPORT_PRESET   where, and with which export preset (a float WAV one)
--   PROGRAM_NAMES    program names to ask a VST3 instance for ("a|b|...")
-- Reports on standard output, one fact a line, for the test to read:
--   CONTROL <type> <id> <name> for every control of the plug-in; PARAMETER <index> <value> <name>
--   for each parameter found among them; PROGRAM <name>, PROGRAMS <n>; LATENCY <n>;
--   INPUT <first sample of the take in its files> <length>; EXPORTED <ok>; CLOSED at the end.
local mode = os.getenv("MODE") or "new"
local session_dir = assert(os.getenv("SESSION"), "SESSION not set")
local session_name = os.getenv("SESSION_NAME") or "host"
local rate = tonumber(os.getenv("RATE") or "48000")

local function fail(message)
  print("FAILED " .. message)
  os.exit(1)
end

local be = AudioEngine:set_backend("None (Dummy)", "", "")
if be:isnil() then fail("no Dummy backend") end
be:set_device_name(os.getenv("DEVICE") or "Sine Sweep Swell")

local route
local proc
if mode == "new" then
  if not create_session(session_dir, session_name, rate) then fail("create_session") end
  local cfg = Session:cfg()
  cfg:set_native_file_data_format(ARDOUR.SampleFormat.Float)
  cfg:set_native_file_header_format(ARDOUR.HeaderFormat.WAVE)
  local tracks = Session:new_audio_track(2, 2, nil, 1, "Guitar", ARDOUR.PresentationInfo.max_order,
                                         ARDOUR.TrackMode.Normal, true, false)
  route = tracks:front()
  -- Record the backend's signal: the recorded files are the input both Ardour and the renderer get.
  route:rec_enable_control():set_value(1, PBD.GroupControlDisposition.NoGroup)
  Session:goto_start(false)
  Session:maybe_enable_record(false)
  Session:request_roll(ARDOUR.TransportRequestSource.TRS_UI)
  ARDOUR.LuaAPI.usleep(math.floor(tonumber(os.getenv("RECORD_SECONDS") or "1.5") * 1000000))
  Session:request_stop(false, false, ARDOUR.TransportRequestSource.TRS_UI)
  for _ = 1, 50 do
    if not Session:transport_rolling() and not Session:actively_recording() then break end
    ARDOUR.LuaAPI.usleep(100000)
  end
  ARDOUR.LuaAPI.usleep(300000)
  Session:disable_record(false, false)
  route:rec_enable_control():set_value(0, PBD.GroupControlDisposition.NoGroup)
  route:to_track():monitoring_control():set_value(ARDOUR.MonitorChoice.MonitorDisk, PBD.GroupControlDisposition.NoGroup)

  -- A fresh plug-in instance after the recording: it has heard nothing but silence before the export.
  proc = ARDOUR.LuaAPI.new_plugin(Session, os.getenv("PID"), ARDOUR.PluginType[os.getenv("PTYPE")], "")
  if proc:isnil() then fail("new_plugin " .. os.getenv("PID")) end
  if route:add_processor_by_index(proc, 0, nil, true) ~= 0 then fail("add_processor_by_index") end
else
  if not load_session(session_dir, session_name) then fail("load_session") end
  local found = Session:route_by_name("Guitar")
  if found:isnil() then fail("no track") end
  route = found:to_track()
  proc = route:nth_plugin(0)
  if proc:isnil() then fail("no plug-in on the track") end
end

-- Panners pass the signal untouched when bypassed: the export is the plug-in's output.
route:panner_shell():set_bypassed(true)
Session:master_out():panner_shell():set_bypassed(true)

local insert = proc:to_insert()
local plugin = insert:plugin(0)

-- The plug-in's parameters as Ardour offers them for automation: controls of VST3 and VST 2.4
-- plug-ins, properties of LV2 plug-ins (JUCE's LV2 parameters are patch properties, not ports).
local automatable = proc:to_automatable()
local controls = {}
local function add_control(t, id, control)
  local name = control:name()
  controls[name] = control
  -- An LV2 property's control is named after its URI, which ends in the parameter's id.
  local key = string.match(name, "^property%-.*:([%w_]+)$")
  if key ~= nil then controls["id:" .. key] = control end
  print(string.format("CONTROL %d %d %s", t, id, name))
end
for param in automatable:all_automatable_params():iter() do
  local t = param:type()
  -- (ids from 2^31 up are Ardour's own, such as the bypass it emulates for VST plug-ins)
  if t == ARDOUR.AutomationType.PluginAutomation and param:id() < 2147483648 then
    local control = automatable:automation_control(param, false)
    if not control:isnil() then add_control(t, param:id(), control) end
  end
end

-- Ardour does not list an LV2 plug-in's properties as automatable; their controls are keyed by
-- the URID of the property's URI, which Lua cannot map: look among the first ids.
if os.getenv("PTYPE") == "LV2" then
  local t = ARDOUR.AutomationType.PluginPropertyAutomation or 8  -- not bound in Ardour 7's Lua: the value after PluginAutomation
  for id = 1, 4000 do
    local control = automatable:automation_control(Evoral.Parameter(t, 0, id), false)
    if not control:isnil() then add_control(t, id, control) end
  end
end

-- PARAMETER_NAMES and PARAMETER_IDS: the plug-in's parameter names and ids in index order, "|"
-- between them.
local names, ids = {}, {}
for name in string.gmatch(os.getenv("PARAMETER_NAMES") or "", "[^|]+") do table.insert(names, name) end
for id in string.gmatch(os.getenv("PARAMETER_IDS") or "", "[^|]+") do table.insert(ids, id) end
local function parameter_control(index)
  return controls[names[index + 1]] or controls["id:" .. (ids[index + 1] or "")]
end

-- SETTINGS: "index=value,...", host values by parameter index.
for index, value in string.gmatch(os.getenv("SETTINGS") or "", "(%d+)=([-%d.e]+)") do
  local control = parameter_control(tonumber(index))
  if control == nil then fail("no control for parameter " .. index) end
  control:set_value(tonumber(value), PBD.GroupControlDisposition.NoGroup)
end
-- Let the plug-in settle on silence after the changes (SETTLE_SECONDS).
ARDOUR.LuaAPI.usleep(math.floor(tonumber(os.getenv("SETTLE_SECONDS") or "3") * 1000000))

for index, name in ipairs(names) do
  local control = parameter_control(index - 1)
  if control ~= nil then print(string.format("PARAMETER %d %.9g %s", index - 1, control:get_value(), name)) end
end
-- Programs: the plug-in's factory presets as Ardour lists them (VST 2.4 and LV2 in the plug-in's
-- description, VST3 from the instance, asked by the names in PROGRAM_NAMES, "|" between them).
local programs = {}
for preset in plugin:get_info():get_presets(false):iter() do
  if not preset.user then programs[preset.label] = true end
end
if next(programs) == nil then
  for name in string.gmatch(os.getenv("PROGRAM_NAMES") or "", "[^|]+") do
    if plugin:preset_by_label(name) ~= nil then programs[name] = true end
  end
end
local program_count = 0
for name, _ in pairs(programs) do
  print("PROGRAM " .. name)
  program_count = program_count + 1
end
print("PROGRAMS " .. program_count)
print("LATENCY " .. proc:signal_latency())

local region
for r in route:playlist():region_list():iter() do region = r end
if region == nil then fail("nothing recorded") end
local audio = region:to_audioregion()
-- No fades: the plug-in gets the recorded samples as they are.
audio:set_fade_in_active(false)
audio:set_fade_out_active(false)
print(string.format("INPUT %d %d", region:start():samples(), region:length():samples()))

local export = Session:simple_export()
export:set_name("export")
export:set_folder(os.getenv("EXPORT_DIR"))
export:set_range(region:position():samples(), region:position():samples() + region:length():samples())
if not export:set_preset(os.getenv("EXPORT_PRESET")) then fail("no export preset") end
if not export:check_outputs() then fail("export outputs") end
print("EXPORTED " .. tostring(export:run_export()))

if mode == "reopen" or os.getenv("SAVE") == "1" then
  Session:save_state("", false, false, false, false, false)
end
-- Drop every reference into the session before closing it: Lua would free them after the session.
controls, automatable, plugin, insert, proc, route, region, audio, export = nil, nil, nil, nil, nil, nil, nil, nil, nil
collectgarbage()
close_session()
print("CLOSED")
