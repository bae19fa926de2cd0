-- ardour7-lua session.lua SESSION_DIR PLUGIN_NAME
-- A session with Tattlebox (hosting 3BandEQ) on a track, beside a dry one:
-- roll, set two parameters, save, close; then load it again and close. The
-- meters after the plug-in show that the audio passes through the target.
--
-- Each phase runs in a function so that its references to tracks and
-- processors are gone (collectgarbage) before the session is closed: a
-- processor still held by Lua outlives the session, keeps the plug-in open,
-- and Tattlebox then refuses the next session's instance.

local here = debug.getinfo(1, "S").source:match("^@(.*/)") or "./"
local e2e = dofile(here .. "common.lua")

local dir, plugin_name = arg[1], arg[2]
local state = "e2e"
local track_name = "Tattlebox"

-- 3BandEQ's parameters span -24..+24 dB, so 0.25 is -12 dB. Master scales
-- everything; Mid takes 6 to 9 dB more off the generator's 794 Hz or 1 kHz
-- (the bands' crossovers are gentle).
local master, mid = 3, 1
local set_to = 0.25

local function create()
    local session = e2e.new_session(dir, state)

    -- A track without plug-ins gives the level that enters the other one.
    local dry = e2e.new_track(session, "Dry")
    local track = e2e.new_track(session, track_name)
    local plugin = e2e.add_plugin(session, track, plugin_name)

    e2e.roll(session, 2)

    local input = e2e.peak(session, dry, 0)
    e2e.mark("peak input %.2f", input)
    e2e.near(input, -18, 1.5, "generator's level on the track without plug-ins")

    local flat = e2e.peak(session, track, 0)
    e2e.mark("peak default %.2f", flat)
    e2e.near(flat, input, 1, "level after the plug-in at its defaults")

    e2e.mark("setting parameters")
    e2e.check(ARDOUR.LuaAPI.set_processor_param(plugin, master, set_to), "Master not set")
    local quieter = e2e.peak(session, track, 0)
    e2e.mark("peak master %.2f", quieter)
    e2e.near(quieter, input - 12, 1.5, "level after Master -12 dB")

    e2e.check(ARDOUR.LuaAPI.set_processor_param(plugin, mid, set_to), "Mid not set")
    local both = e2e.peak(session, track, 0)
    e2e.mark("peak master+mid %.2f", both)
    -- Mid's share of the sine depends on which of the two the track got.
    e2e.check(both < quieter - 3 and both > quieter - 12,
              "level after Mid -12 dB: %.2f, expected 3..12 dB under %.2f", both, quieter)
    e2e.mark("parameters set")

    e2e.check(session:save_state("", false, false, false, false, false) == 0, "session not saved")
    e2e.mark("saved")
    return both
end

local function reopen(expected)
    local session = load_session(dir, state)
    e2e.check(session ~= nil, "session not loaded")
    local track = session:route_by_name(track_name)
    e2e.check(not track:isnil(), "track not found in the loaded session")
    local plugin = track:nth_plugin(0)
    e2e.check(not plugin:isnil() and not plugin:to_insert():isnil(), "plug-in missing from the loaded session")

    for _, index in ipairs({ master, mid }) do
        local value = ARDOUR.LuaAPI.get_processor_param(plugin, index, true)
        e2e.near(value, set_to, 0.001, "parameter " .. index .. " after loading")
    end
    -- The restored values must have reached the target, not just Ardour.
    local level = e2e.peak(session, track, 0)
    e2e.mark("peak reopened %.2f", level)
    e2e.near(level, expected, 1.5, "level after loading")
end

e2e.start_engine()
local level = e2e.run_session(create)
e2e.run_session(function () reopen(level) end, "closed again")
