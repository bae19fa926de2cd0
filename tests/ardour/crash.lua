-- ardour7-lua crash.lua SESSION_DIR PLUGIN_NAME CYCLES
-- One track with the plug-in, then CYCLES process cycles of the engine. A
-- plug-in that crashes in processReplacing takes the process down between
-- "E2E added" and "E2E survived".

local here = debug.getinfo(1, "S").source:match("^@(.*/)") or "./"
local e2e = dofile(here .. "common.lua")

local dir, plugin_name, cycles = arg[1], arg[2], tonumber(arg[3])

local function run()
    local session = e2e.new_session(dir, "e2e")
    local track = e2e.new_track(session, "Crash")
    e2e.add_plugin(session, track, plugin_name)
    e2e.mark("added")
    e2e.wait_cycles(session, cycles)
    e2e.mark("survived %d cycles", cycles)
end

e2e.start_engine()
e2e.run_session(run)
