ardour {
	["type"]    = "dsp",
	name        = "VR-C key test signal",
	category    = "Utility",
	license     = "MIT",
	author      = "VR-C",
	description = [[Music: a steady tone at amplitude 0.5. Key: bursts of a tone at amplitude 0.8
during every second 24000 samples (from sample 24000 on), the same on every channel, silence
between them. A function of the transport position only (silence while stopped), so every
render of a session is the same.]]
}

function dsp_ioconfig ()
	return { { audio_in = -1, audio_out = -1 } }
end

function dsp_params ()
	return { { ["type"] = "input", name = "Key", min = 0, max = 1, default = 0, toggled = true } }
end

function dsp_run (ins, outs, n_samples)
	local key = CtrlPorts:array ()[1] > 0.5
	local rolling = Session:transport_rolling ()
	local start = Session:transport_sample ()
	for c = 1, #outs do
		local out = outs[c]:array ()
		for i = 1, n_samples do
			local t = start + i - 1
			local v = 0
			if not rolling then
				v = 0
			elseif key then
				v = (math.floor (t / 24000) % 2 == 1) and 0.8 * math.sin (0.047 * t) or 0
			else
				v = 0.5 * math.sin (0.031 * c * t)
			end
			out[i] = v
		end
	end
end
