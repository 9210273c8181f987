ardour {
	["type"]    = "dsp",
	name        = "VR-C test signal",
	category    = "Utility",
	license     = "MIT",
	author      = "VR-C",
	description = [[Tones at a level that changes every 6000 samples, a function of the
transport position only (silence while stopped), so every render of a session is the same.]]
}

function dsp_ioconfig ()
	return { { audio_in = -1, audio_out = -1 } }
end

function dsp_run (ins, outs, n_samples)
	local rolling = Session:transport_rolling ()
	local start = Session:transport_sample ()
	for c = 1, #outs do
		local out = outs[c]:array ()
		for i = 1, n_samples do
			local t = start + i - 1
			local level = (math.floor (t / 6000) % 2 == 0) and 0.8 or 0.05
			out[i] = rolling and level * math.sin (0.031 * c * t) or 0
		end
	end
end
