/* A stand-in for the ALSA sequencer, preloaded into Qtractor on machines
 * without kernel sound support (no /dev/snd): Qtractor starts its audio
 * engine only once the sequencer opens. Every function that takes the
 * sequencer handle and that Qtractor imports is answered here, so libasound
 * never sees a handle of ours; MIDI is dropped and none ever arrives, only
 * the announcement of a port's end. The info structures' accessors stay
 * libasound's own. */
/* asoundlib.h defines struct timespec itself unless POSIX is asked for. */
#define _POSIX_C_SOURCE 200809L
#include <alsa/asoundlib.h>
#include <errno.h>
#include <fcntl.h>
#include <stdlib.h>
#include <string.h>
#include <unistd.h>

#define UNUSED(x) (void)(x)

/* What libasound's handle would hold, as far as Qtractor can tell: the pipe
 * stands for the sequencer's device, which Qtractor's input thread polls. */
struct seq {
    int wake[2];
    int next_port;
    snd_seq_event_t announced;
};

static struct seq *of(snd_seq_t *handle) { return (struct seq *)handle; }

int snd_seq_open(snd_seq_t **handle, const char *name, int streams, int mode)
{
    UNUSED(name), UNUSED(streams), UNUSED(mode);
    struct seq *seq = calloc(1, sizeof *seq);
    if (seq == NULL)
        return -ENOMEM;
    if (pipe(seq->wake) != 0) {
        free(seq);
        return -errno;
    }
    fcntl(seq->wake[0], F_SETFL, O_NONBLOCK);
    fcntl(seq->wake[1], F_SETFL, O_NONBLOCK);
    *handle = (snd_seq_t *)seq;
    return 0;
}

int snd_seq_close(snd_seq_t *handle)
{
    close(of(handle)->wake[0]);
    close(of(handle)->wake[1]);
    free(of(handle));
    return 0;
}

int snd_seq_client_id(snd_seq_t *handle) { UNUSED(handle); return 128; }
int snd_seq_set_client_name(snd_seq_t *seq, const char *name) { UNUSED(seq), UNUSED(name); return 0; }

int snd_seq_poll_descriptors_count(snd_seq_t *handle, short events)
{
    UNUSED(handle), UNUSED(events);
    return 1;
}

int snd_seq_poll_descriptors(snd_seq_t *handle, struct pollfd *pfds, unsigned int space, short events)
{
    if (space < 1)
        return 0;
    pfds[0].fd = of(handle)->wake[0];
    pfds[0].events = events;
    pfds[0].revents = 0;
    return 1;
}

int snd_seq_create_simple_port(snd_seq_t *seq, const char *name, unsigned int caps, unsigned int type)
{
    UNUSED(name), UNUSED(caps), UNUSED(type);
    return of(seq)->next_port++;
}

/* The sequencer announces a port's end to its client. Qtractor's input
 * thread, polling 200 ms at a time, wakes and sees that it is to stop, as
 * with a real sequencer, instead of holding Qtractor's exit up. */
int snd_seq_delete_simple_port(snd_seq_t *seq, int port)
{
    snd_seq_event_t *ev = &of(seq)->announced;
    memset(ev, 0, sizeof *ev);
    ev->type = SND_SEQ_EVENT_PORT_EXIT;
    ev->source.client = SND_SEQ_CLIENT_SYSTEM;
    ev->source.port = SND_SEQ_PORT_SYSTEM_ANNOUNCE;
    ev->data.addr.client = 128;
    ev->data.addr.port = (unsigned char)port;
    if (write(of(seq)->wake[1], "", 1) < 0 && errno != EAGAIN)
        return -errno;
    return 0;
}

int snd_seq_get_port_info(snd_seq_t *handle, int port, snd_seq_port_info_t *info)
{
    UNUSED(handle);
    memset(info, 0, snd_seq_port_info_sizeof());
    snd_seq_port_info_set_client(info, 128);
    snd_seq_port_info_set_port(info, port);
    return 0;
}

int snd_seq_get_any_port_info(snd_seq_t *handle, int client, int port, snd_seq_port_info_t *info)
{
    UNUSED(client);
    return snd_seq_get_port_info(handle, port, info);
}

int snd_seq_set_port_info(snd_seq_t *handle, int port, snd_seq_port_info_t *info)
{
    UNUSED(handle), UNUSED(port), UNUSED(info);
    return 0;
}

int snd_seq_get_any_client_info(snd_seq_t *handle, int client, snd_seq_client_info_t *info)
{
    UNUSED(handle);
    memset(info, 0, snd_seq_client_info_sizeof());
    snd_seq_client_info_set_client(info, client);
    return 0;
}

/* No other clients, ports or subscribers: the loops over them end at once. */
int snd_seq_query_next_client(snd_seq_t *handle, snd_seq_client_info_t *info)
{
    UNUSED(handle), UNUSED(info);
    return -ENOENT;
}

int snd_seq_query_next_port(snd_seq_t *handle, snd_seq_port_info_t *info)
{
    UNUSED(handle), UNUSED(info);
    return -ENOENT;
}

int snd_seq_query_port_subscribers(snd_seq_t *seq, snd_seq_query_subscribe_t *subs)
{
    UNUSED(seq), UNUSED(subs);
    return -ENOENT;
}

int snd_seq_subscribe_port(snd_seq_t *handle, snd_seq_port_subscribe_t *sub) { UNUSED(handle), UNUSED(sub); return 0; }
int snd_seq_unsubscribe_port(snd_seq_t *handle, snd_seq_port_subscribe_t *sub) { UNUSED(handle), UNUSED(sub); return 0; }

int snd_seq_alloc_queue(snd_seq_t *handle) { UNUSED(handle); return 0; }
int snd_seq_free_queue(snd_seq_t *handle, int q) { UNUSED(handle), UNUSED(q); return 0; }

int snd_seq_control_queue(snd_seq_t *seq, int q, int type, int value, snd_seq_event_t *ev)
{
    UNUSED(seq), UNUSED(q), UNUSED(type), UNUSED(value), UNUSED(ev);
    return 0;
}

int snd_seq_get_queue_status(snd_seq_t *handle, int q, snd_seq_queue_status_t *status)
{
    UNUSED(handle), UNUSED(q);
    memset(status, 0, snd_seq_queue_status_sizeof());
    return 0;
}

/* What a new queue holds: 120 bpm, a skew of one. */
int snd_seq_get_queue_tempo(snd_seq_t *handle, int q, snd_seq_queue_tempo_t *tempo)
{
    UNUSED(handle), UNUSED(q);
    memset(tempo, 0, snd_seq_queue_tempo_sizeof());
    snd_seq_queue_tempo_set_tempo(tempo, 500000);
    snd_seq_queue_tempo_set_ppq(tempo, 96);
    snd_seq_queue_tempo_set_skew(tempo, 0x10000);
    snd_seq_queue_tempo_set_skew_base(tempo, 0x10000);
    return 0;
}

int snd_seq_set_queue_tempo(snd_seq_t *handle, int q, snd_seq_queue_tempo_t *tempo)
{
    UNUSED(handle), UNUSED(q), UNUSED(tempo);
    return 0;
}

int snd_seq_set_queue_timer(snd_seq_t *handle, int q, snd_seq_queue_timer_t *timer)
{
    UNUSED(handle), UNUSED(q), UNUSED(timer);
    return 0;
}

/* Output is dropped. */
int snd_seq_event_output(snd_seq_t *handle, snd_seq_event_t *ev) { UNUSED(handle), UNUSED(ev); return 0; }
int snd_seq_event_output_direct(snd_seq_t *handle, snd_seq_event_t *ev) { UNUSED(handle), UNUSED(ev); return 0; }
int snd_seq_drain_output(snd_seq_t *handle) { UNUSED(handle); return 0; }
int snd_seq_drop_output(snd_seq_t *handle) { UNUSED(handle); return 0; }
int snd_seq_drop_input(snd_seq_t *handle) { UNUSED(handle); return 0; }
int snd_seq_remove_events(snd_seq_t *handle, snd_seq_remove_events_t *info) { UNUSED(handle), UNUSED(info); return 0; }

/* Qtractor reads only once poll said there is something: the announcement,
 * which it takes no action on. */
int snd_seq_event_input(snd_seq_t *handle, snd_seq_event_t **ev)
{
    char wakes[64];
    int woken = 0;
    while (read(of(handle)->wake[0], wakes, sizeof wakes) > 0)
        woken = 1;
    if (!woken) {
        *ev = NULL;
        return -EAGAIN;
    }
    *ev = &of(handle)->announced;
    return 0;
}

int snd_seq_event_input_pending(snd_seq_t *seq, int fetch_sequencer)
{
    UNUSED(seq), UNUSED(fetch_sequencer);
    return 0;
}
