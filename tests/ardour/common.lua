-- Helpers shared by the Ardour session scripts (loaded with dofile).
--
-- Results go to stderr as "E2E <word> ..." lines: stderr is unbuffered, as are
-- Tattlebox's own lines, so the marks fall in order among the calls they
-- bracket and ardour_e2e.sh can count the calls between two marks.

local e2e = {}

function e2e.mark(fmt, ...)
    io.stderr:write("E2E " .. string.format(fmt, ...) .. "\n")
end

-- Polls cond() every 5 ms; fails after `seconds` of wall time.
function e2e.wait_for(what, cond, seconds)
    local deadline = ARDOUR.LuaAPI.monotonic_time() + seconds * 1000000
    while not cond() do
        if ARDOUR.LuaAPI.monotonic_time() > deadline then
            error("timed out waiting for " .. what, 2)
        end
        ARDOUR.LuaAPI.usleep(5000)
    end
end

-- Waits until the engine has run `cycles` more process cycles (the Dummy
-- backend follows the wall clock only loosely on a loaded machine).
function e2e.wait_cycles(session, cycles)
    local goal = AudioEngine:processed_samples() + cycles * session:get_block_size()
    e2e.wait_for(cycles .. " process cycles", function ()
        return AudioEngine:processed_samples() >= goal
    end, 20)
end

-- Highest peak (dBFS) of one channel of a route's meter over a few cycles
-- measured from now. The reset takes effect in the next cycle, hence the
-- margin of cycles.
function e2e.peak(session, route, channel)
    local meter = route:peak_meter()
    meter:reset_max()
    e2e.wait_cycles(session, 8)
    return meter:meter_level(channel, ARDOUR.MeterType.MeterMaxPeak)
end

function e2e.check(ok, fmt, ...)
    if not ok then
        error(string.format(fmt, ...), 2)
    end
end

function e2e.near(value, expected, tolerance, what)
    e2e.check(math.abs(value - expected) <= tolerance,
              "%s: %.2f, expected %.2f +- %.2f", what, value, expected, tolerance)
end

-- The Dummy backend's generator: a 794 Hz sine on capture 1 and 1 kHz on
-- capture 2, both -18 dBFS peak. Fixed frequencies, unlike "Sine Wave".
-- A new session at 48 kHz, its rate and block size marked for the shell.
function e2e.new_session(dir, state)
    local session = create_session(dir, state, 48000)
    e2e.check(session ~= nil, "session not created")
    e2e.mark("rate %d block %d", session:nominal_sample_rate(), session:get_block_size())
    return session
end

-- Runs phase(), lets go of its references, closes the session and marks
-- `closed_mark`; returns what phase() returned.
function e2e.run_session(phase, closed_mark)
    local result = phase()
    collectgarbage()
    close_session()
    e2e.mark(closed_mark or "closed")
    return result
end

function e2e.start_engine()
    assert(AudioEngine:set_backend("None (Dummy)", "", ""), "no Dummy backend")
    AudioEngine:set_device_name("Sine Wave 1K, 1/3 Oct")
end

function e2e.new_track(session, name)
    local list = session:new_audio_track(2, 2, nil, 1, name, ARDOUR.PresentationInfo.max_order,
                                         ARDOUR.TrackMode.Normal, true)
    e2e.check(list:size() == 1, "track %s not made", name)
    local track = list:front()
    -- Input monitoring keeps the generator's signal on the track's plug-ins
    -- whether or not the transport rolls.
    track:monitoring_control():set_value(ARDOUR.MonitorChoice.MonitorInput,
                                         PBD.GroupControlDisposition.NoGroup)
    -- Ardour connects the new track's inputs to the capture ports in a
    -- thread of its own, some time after the track is made.
    e2e.wait_for("track " .. name .. "'s input to be connected", function ()
        return track:input():audio(0):connected()
    end, 20)
    return track
end

-- Tattlebox is found under the name its target reported to the scanner.
function e2e.add_plugin(session, track, name)
    local proc = ARDOUR.LuaAPI.new_plugin(session, name, ARDOUR.PluginType.LXVST, "")
    e2e.check(not proc:isnil(), "plug-in \"%s\" not made (scan cache stale, or the entry returned null)", name)
    e2e.check(track:add_processor_by_index(proc, 0, nil, true) == 0, "plug-in \"%s\" not added", name)
    return proc
end

-- Rolls the transport for `seconds` of session time, counted in samples.
function e2e.roll(session, seconds)
    local rate = session:nominal_sample_rate()
    session:request_roll(ARDOUR.TransportRequestSource.TRS_UI)
    e2e.wait_for("the transport to roll", function () return session:transport_rolling() end, 20)
    local first = session:transport_sample()
    e2e.mark("rolling from %d", first)
    e2e.wait_for("the transport to pass " .. seconds .. " s", function ()
        return session:transport_sample() >= first + seconds * rate
    end, 20 + seconds * 4)
    e2e.mark("rolled %d samples", session:transport_sample() - first)
    session:request_stop(false, false, ARDOUR.TransportRequestSource.TRS_UI)
    e2e.wait_for("the transport to stop", function () return not session:transport_rolling() end, 20)
end

return e2e
