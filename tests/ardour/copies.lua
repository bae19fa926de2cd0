-- ardour7-lua copies.lua SESSION_DIR PLUGIN_NAME...
-- One track per plug-in name, all in one session (two copies of Tattlebox,
-- each hosting its own target): roll 1 s, check the audio, close.

local here = debug.getinfo(1, "S").source:match("^@(.*/)") or "./"
local e2e = dofile(here .. "common.lua")

local dir = arg[1]
local names = {}
for i = 2, #arg do names[#names + 1] = arg[i] end

local function run()
    local session = create_session(dir, "e2e", 48000)
    e2e.check(session ~= nil, "session not created")
    e2e.mark("rate %d block %d", session:nominal_sample_rate(), session:get_block_size())

    local tracks = {}
    for i, name in ipairs(names) do
        tracks[i] = e2e.new_track(session, "T" .. i)
        e2e.add_plugin(session, tracks[i], name)
    end

    e2e.roll(session, 1)

    -- Each plug-in's output reaches the meter after it: the targets process
    -- the generator's -18 dBFS, they are not left out of the chain.
    for i, name in ipairs(names) do
        local input = e2e.input_peak(session, tracks[i], 0)
        local output = e2e.peak(session, tracks[i], 0)
        e2e.mark("peak %s input %.2f output %.2f", name, input, output)
        e2e.near(input, -18, 1.5, name .. ": generator's level at the track's input")
        e2e.check(output > -40, "%s: no signal after the plug-in (%.2f dBFS)", name, output)
    end
end

e2e.start_engine()
run()
collectgarbage()
close_session()
e2e.mark("closed")
