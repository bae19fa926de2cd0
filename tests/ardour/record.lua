-- ardour7-lua record.lua SESSION_DIR PLUGIN_NAME
-- The session Tattlebox records (Record Session): 3BandEQ on a track rolls,
-- its parameters change while the engine runs (Master and Mid to -12 dB, Low
-- to +12 dB), it rolls again, and the session is saved and closed.

local here = debug.getinfo(1, "S").source:match("^@(.*/)") or "./"
local e2e = dofile(here .. "common.lua")

local dir, plugin_name = arg[1], arg[2]

local function run()
    local session = e2e.new_session(dir, "e2e")
    local track = e2e.new_track(session, "Tattlebox")
    local plugin = e2e.add_plugin(session, track, plugin_name)
    e2e.roll(session, 1)

    e2e.mark("setting parameters")
    for _, change in ipairs({ { 3, 0.25 }, { 1, 0.25 }, { 0, 0.75 } }) do
        e2e.check(ARDOUR.LuaAPI.set_processor_param(plugin, change[1], change[2]), "parameter %d not set", change[1])
        e2e.wait_cycles(session, 8)
    end
    e2e.mark("parameters set")

    e2e.roll(session, 1)
    e2e.check(session:save_state("", false, false, false, false, false) == 0, "session not saved")
end

e2e.start_engine()
e2e.run_session(run)
