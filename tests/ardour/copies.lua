-- ardour7-lua copies.lua SESSION_DIR EQ_NAME REVERB_NAME
-- Two copies of Tattlebox in one session, one hosting 3BandEQ and one MVerb,
-- each on its own track beside a dry one: roll 1 s, then set a parameter on
-- each and check from the meters that it changes its own track only.

local here = debug.getinfo(1, "S").source:match("^@(.*/)") or "./"
local e2e = dofile(here .. "common.lua")

local dir, eq_name, reverb_name = arg[1], arg[2], arg[3]

local eq_master = 3      -- -24..+24 dB: 0.25 is -12 dB
local reverb_gain = 6    -- 0 silences MVerb's output

local function run()
    local session = e2e.new_session(dir, "e2e")

    local dry = e2e.new_track(session, "Dry")
    local eq_track = e2e.new_track(session, "EQ")
    local eq = e2e.add_plugin(session, eq_track, eq_name)
    local reverb_track = e2e.new_track(session, "Reverb")
    local reverb = e2e.add_plugin(session, reverb_track, reverb_name)

    e2e.roll(session, 1)

    local input = e2e.peak(session, dry, 0)
    e2e.mark("peak input %.2f", input)
    e2e.near(input, -18, 1.5, "generator's level on the track without plug-ins")
    local level = e2e.peak(session, eq_track, 0)
    e2e.mark("peak %s %.2f", eq_name, level)
    e2e.near(level, input, 1, eq_name .. " at its defaults")
    level = e2e.peak(session, reverb_track, 0)
    e2e.mark("peak %s %.2f", reverb_name, level)
    e2e.check(level > input - 20, "%s at its defaults: no signal (%.2f dBFS)", reverb_name, level)

    -- Each copy must pass its own parameters to its own target only.
    e2e.check(ARDOUR.LuaAPI.set_processor_param(reverb, reverb_gain, 0), "Gain not set")
    level = e2e.peak(session, reverb_track, 0)
    e2e.mark("peak %s gain 0 %.2f", reverb_name, level)
    e2e.check(level < -90, "%s with Gain 0: %.2f dBFS, expected silence", reverb_name, level)
    level = e2e.peak(session, eq_track, 0)
    e2e.mark("peak %s %.2f", eq_name, level)
    e2e.near(level, input, 1, eq_name .. " after the other copy's parameter")

    e2e.check(ARDOUR.LuaAPI.set_processor_param(eq, eq_master, 0.25), "Master not set")
    level = e2e.peak(session, eq_track, 0)
    e2e.mark("peak %s master %.2f", eq_name, level)
    e2e.near(level, input - 12, 1.5, eq_name .. " after Master -12 dB")
    level = e2e.peak(session, reverb_track, 0)
    e2e.mark("peak %s %.2f", reverb_name, level)
    e2e.check(level < -90, "%s after the other copy's parameter: %.2f dBFS, expected silence", reverb_name, level)
end

e2e.start_engine()
e2e.run_session(run)
