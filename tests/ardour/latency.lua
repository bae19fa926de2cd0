-- ardour7-lua latency.lua SESSION_DIR PLUGIN_NAME PARAMETER VALUE
-- The latency Ardour gives a plug-in on a track once it has processed, and
-- again after PARAMETER is set to VALUE: "E2E latency default|set N".

local here = debug.getinfo(1, "S").source:match("^@(.*/)") or "./"
local e2e = dofile(here .. "common.lua")

local dir, plugin_name = arg[1], arg[2]
local parameter, value = tonumber(arg[3]), tonumber(arg[4])

local function run()
    local session = e2e.new_session(dir, "e2e")
    local track = e2e.new_track(session, "Latency")
    local plugin = e2e.add_plugin(session, track, plugin_name)

    -- A plug-in may report its latency only from its first blocks on.
    e2e.wait_cycles(session, 20)
    e2e.mark("latency default %d", plugin:signal_latency())

    e2e.check(ARDOUR.LuaAPI.set_processor_param(plugin, parameter, value), "parameter %d not set", parameter)
    e2e.wait_cycles(session, 20)
    e2e.mark("latency set %d", plugin:signal_latency())
end

e2e.start_engine()
e2e.run_session(run)
