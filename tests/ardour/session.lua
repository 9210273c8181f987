-- Run by scripts/test-ardour.sh through Ardour's headless Lua interpreter:
--   ardour7-lua session.lua <session folder> <VST2|VST3|LV2> make <render folder>
--   ardour7-lua session.lua <session folder> <VST2|VST3|LV2> check <render folder>
--   ardour7-lua session.lua <session folder> <VST2|VST3|LV2> automate <render folder>
--   ardour7-lua session.lua <session folder> - scan
-- make:  a session with one stereo track: the test signal, then VR-C in the
--        given format with every parameter away from its default; saved, and
--        rendered to <render folder>/<format>.wav.
-- check: reopens that session, checks that every parameter came back and
--        renders it again to <render folder>/<format>-reopened.
-- automate: reopens it, ramps THRESHOLD from its setting down to -40 dB over
--        the second half of the render (an automation lane in Play), and renders
--        to <render folder>/<format>-automated.
local folder, format, step = arg[1], arg[2], arg[3]

-- Host index -> normalised value for VST2 and VST3; none of them is a default.
-- LV2 control ports hold what VR-C.so displays for these: the same settings.
local normalised = { 0.55, 0.8, 0.6, 0.5, 0.49 / 4.99, 0.35, 0.9, 0.0 }
local shown = { -22, 0.9, 10, 0.15, 0.5, 0.35, 90, 0 }
local settings = format == "LV2" and shown or normalised
local types = { VST2 = ARDOUR.PluginType.LXVST, VST3 = ARDOUR.PluginType.VST3, LV2 = ARDOUR.PluginType.LV2 }

-- The control of host index i (1-based): a plug-in parameter for VST2 and VST3,
-- the control port with that index for LV2.
local function control (insert, i)
	local a = insert:to_automatable ()
	for param in a:all_automatable_params ():iter () do
		local c = a:automation_control (param, false)
		if not c:isnil () and param:type () == ARDOUR.AutomationType.PluginAutomation and param:id () == i - 1 then return c end
	end
	error ("no control for parameter " .. i)
end

-- Two seconds of the master bus, exported (freewheeling) to <render folder>/<name>/export.wav.
local function render (name)
	local export = Session:simple_export ()
	assert (export:set_preset ("5e1d6a3c-8f0e-4c47-9b2a-7a1c0d3e5f21"), "no float WAV export preset (vrc-float.preset)")
	export:set_folder (arg[4] .. "/" .. name)
	export:set_range (0, 96000)
	assert (export:run_export (), "export failed")
	-- Ardour 7.3's engine thread is still tearing the export down when this
	-- returns; saving or closing at once crashes Ardour far more often.
	ARDOUR.LuaAPI.usleep (500000)
end

local function vrcInsert ()
	for r in Session:get_routes ():iter () do
		local i = 0
		while true do
			local proc = r:nth_plugin (i)
			if proc:isnil () then break end
			if proc:display_name () == "VR-C" then return proc:to_insert () end
			i = i + 1
		end
	end
	error ("VR-C is not in the session")
end

-- The calling script looks for this line; flushed at once because Ardour 7.3's
-- interpreter sometimes aborts while tearing a session down, and a buffered
-- line would be lost with it.
local function ok (text)
	io.stdout:write ("VRC-OK " .. text .. "\n")
	io.stdout:flush ()
end

if step == "scan" then
	-- A first session makes Ardour list the plug-in files it will take from its scanners' caches.
	assert (create_session (folder, "vrc", 48000), "cannot create the session")
	ok ("plug-in folders listed")
	close_session ()
elseif step == "make" then
	assert (create_session (folder, "vrc", 48000), "cannot create the session")
	local track = Session:new_audio_track (2, 2, nil, 1, "VR-C", -1, ARDOUR.TrackMode.Normal, true, false):front ()
	local signal = ARDOUR.LuaAPI.new_plugin (Session, "VR-C test signal", ARDOUR.PluginType.Lua, "")
	assert (not signal:isnil (), "no test signal (vrc_test_signal.lua)")
	track:add_processor_by_index (signal, 0, nil, true)
	local vrc = ARDOUR.LuaAPI.new_plugin (Session, "VR-C", types[format], "")
	assert (not vrc:isnil (), "Ardour does not find VR-C as " .. format)
	track:add_processor_by_index (vrc, 1, nil, true)
	for i, v in ipairs (settings) do
		control (vrc:to_insert (), i):set_value (v, PBD.GroupControlDisposition.NoGroup)
	end
	render (format)
	Session:save_state ("", false, false, false, false, false)
	ok ("made and rendered the " .. format .. " session")
	close_session ()
elseif step == "automate" then
	assert (load_session (folder, "vrc"), "cannot open the session")
	local threshold = control (vrcInsert (), 1)
	local list = threshold:alist ()
	list:add (Temporal.timepos_t (48000), settings[1], false, true)
	list:add (Temporal.timepos_t (96000), format == "LV2" and -40 or 1, false, true)
	threshold:set_automation_state (ARDOUR.AutoState.Play)
	render (format .. "-automated")
	ok (format .. ": automation of THRESHOLD rendered")
	close_session ()
else
	assert (load_session (folder, "vrc"), "cannot open the session")
	local insert = vrcInsert ()
	-- What the plug-in itself restored shows in this render, compared with the
	-- first by the calling script.
	render (format .. "-reopened")
	-- What the plug-in restored is also what it saves again: the calling script
	-- compares this snapshot's chunk with the others.
	Session:save_state ("reopened", false, false, false, false, false)
	-- Ardour's own controls hold the saved values (as floats).
	local bad = 0
	for i, v in ipairs (settings) do
		local got = control (insert, i):get_value ()
		if math.abs (got - v) > 1e-6 * math.max (1, math.abs (v)) then
			print (string.format ("%s: Ardour shows parameter %d as %.9g after reopening, saved %.9g", format, i - 1, got, v))
			bad = bad + 1
		end
	end
	assert (bad == 0, format .. ": parameters not restored")
	ok (format .. ": every parameter restored in Ardour's controls")
	close_session ()
end
