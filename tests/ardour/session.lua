-- Run by scripts/test-ardour.sh through Ardour's headless Lua interpreter:
--   ardour7-lua session.lua <session folder> <VST2|VST3|LV2> make <render folder>
--   ardour7-lua session.lua <session folder> <VST2|VST3|LV2> check <render folder>
--   ardour7-lua session.lua <session folder> <VST2|VST3|LV2> automate <render folder>
--   ardour7-lua session.lua <session folder> - scan
--   ardour7-lua session.lua <session folder> <VST3|LV2> key <render folder>
--   ardour7-lua session.lua <session folder> <VST3|LV2> key-check <render folder>
-- make:  a session with one stereo track: the test signal, then VR-C in the
--        given format with every parameter away from its default; saved, and
--        rendered to <render folder>/<format>.wav.
-- check: reopens that session, checks that every parameter came back and
--        renders it again to <render folder>/<format>-reopened.
-- automate: reopens it, ramps THRESHOLD from its setting down to -40 dB over
--        the second half of the render (an automation lane in Play), and renders
--        to <render folder>/<format>-automated.
-- key:   a music track (a steady tone) into VR-C (VST3, or the LV2 side-chain
--        variant) and a key track (bursts) whose pre-fader send feeds VR-C's
--        side-chain input; the key track's fader is down, so the render holds
--        the music alone. Saved, then rendered to <render folder>/<format>-key.
-- key-check: reopens it, checks the send still reaches the side-chain input
--        and renders to <render folder>/<format>-key-reopened.
local folder, format, step = arg[1], arg[2], arg[3]

-- Host index -> normalised value for VST2 and VST3; none of them is a default.
-- LV2 control ports hold what VR-C.so displays for these: the same settings.
local normalised = { 0.55, 0.8, 0.6, 0.5, 0.49 / 4.99, 0.35, 0.9, 0.0 }
local shown = { -22, 0.9, 10, 0.15, 0.5, 0.35, 90, 0 }
local settings = format == "LV2" and shown or normalised
-- The key run: threshold -20 dB, ratio 0.9, attack 10 ms, release 50 ms, the rest
-- at defaults, so the key's bursts (0.8) are pulled down by about 16 dB while the
-- music (0.5, 14 dB over the threshold) would be compressed too if the detector
-- still heard it.
local keySettings = format == "LV2" and { -20, 0.9, nil, 0.01, 0.05 } or { 0.5, 0.8, nil, 0.01 / 0.3, 0.04 / 4.99 }
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
			local name = proc:display_name ()
			if name == "VR-C" or name == "VR-C Sidechain" then return proc:to_insert () end
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
elseif step == "key" then
	assert (create_session (folder, "vrc", 48000), "cannot create the session")
	local function track (name, key)
		local t = Session:new_audio_track (2, 2, nil, 1, name, -1, ARDOUR.TrackMode.Normal, true, false):front ()
		local signal = ARDOUR.LuaAPI.new_plugin (Session, "VR-C key test signal", ARDOUR.PluginType.Lua, "")
		assert (not signal:isnil (), "no key test signal (vrc_key_signal.lua)")
		t:add_processor_by_index (signal, 0, nil, true)
		ARDOUR.LuaAPI.set_processor_param (signal, 0, key and 1 or 0)
		return t
	end
	local music, key = track ("Music", false), track ("Key", true)
	local vrc = ARDOUR.LuaAPI.new_plugin (Session, format == "LV2" and "urn:veskara:vr-c-sidechain" or "VR-C", types[format], "")
	assert (not vrc:isnil (), "Ardour does not find VR-C's side-chain plug-in as " .. format)
	music:add_processor_by_index (vrc, 1, nil, true)
	for i = 1, 5 do
		if keySettings[i] then control (vrc:to_insert (), i):set_value (keySettings[i], PBD.GroupControlDisposition.NoGroup) end
	end
	-- Ardour 7.3's Lua has no PluginInsert:add_sidechain; the route's call adds the
	-- side-chain input with as many ports as the plug-in has side-chain pins, and
	-- maps them there.
	assert (music:add_sidechain (vrc), format .. ": Ardour gives VR-C no side-chain input")
	local sidechain = vrc:to_plugininsert ():sidechain_input ()
	assert (not sidechain:isnil (), format .. ": VR-C has no side-chain input in Ardour")
	local send = ARDOUR.LuaAPI.new_send (Session, key, key:amp ())
	assert (not send:isnil (), "cannot add a send to the key track")
	local out = send:to_send ():output ()
	local n = math.min (out:n_ports ():n_audio (), sidechain:n_ports ():n_audio ())
	assert (n > 0, format .. ": the side-chain input has no audio port")
	for i = 0, n - 1 do
		assert (out:audio (i):connect (sidechain:audio (i):name ()) == 0, "cannot connect the key to the side-chain input")
	end
	key:gain_control ():set_value (0, PBD.GroupControlDisposition.NoGroup)
	-- Ardour learns that the key track now feeds the music track (and must run
	-- before it) in a graph re-sort that follows the new connection a little
	-- later; an export started at once races it, and the key can reach VR-C a
	-- cycle late or not at all, differently in every render.
	ARDOUR.LuaAPI.usleep (500000)
	-- Saved before the export: what Ardour's export leaves of the heap now and
	-- then crashes a save made after it.
	Session:save_state ("", false, false, false, false, false)
	render (format .. "-key")
	ok ("made and rendered the " .. format .. " side-chain session (" .. n .. " key channels)")
	close_session ()
elseif step == "key-check" then
	assert (load_session (folder, "vrc"), "cannot open the session")
	local sidechain = vrcInsert ():to_plugininsert ():sidechain_input ()
	assert (not sidechain:isnil (), format .. ": the reopened VR-C has no side-chain input")
	assert (sidechain:audio (0):connected (), format .. ": the reopened side-chain input is not connected")
	render (format .. "-key-reopened")
	ok (format .. ": the key still reaches the reopened side-chain input")
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
