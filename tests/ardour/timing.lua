-- ardour7-lua timing.lua SESSION_DIR PLUGIN_NAME SECONDS
-- Tattlebox, timing its calls, hosting 3BandEQ on a track that rolls for
-- SECONDS while pictures of its window are taken; then the session closes,
-- and Tattlebox's summary follows its Close.

local here = debug.getinfo(1, "S").source:match("^@(.*/)") or "./"
local e2e = dofile(here .. "common.lua")

local dir, plugin_name, seconds = arg[1], arg[2], tonumber(arg[3] or "4")

local function run()
    local session = e2e.new_session(dir, "e2e")
    local track = e2e.new_track(session, "Tattlebox")
    e2e.add_plugin(session, track, plugin_name)
    e2e.roll(session, seconds)
end

e2e.start_engine()
e2e.run_session(run)
