#include "platform/midi/CAlsaSeq.h"

#include <poll.h>

namespace mvmidi {

CAlsaSeq::CAlsaSeq()
{
    if (snd_seq_open(&m_seq, "default", SND_SEQ_OPEN_DUPLEX, SND_SEQ_NONBLOCK) < 0) {
        m_seq = nullptr;
        return;
    }
    snd_seq_set_client_name(m_seq, "Morvane");
    snd_midi_event_new(4096, &m_encoder);
    snd_midi_event_new(4096, &m_decoder);
    if (m_decoder)
        snd_midi_event_no_status(m_decoder, 1);  // whole messages, no running status
}

CAlsaSeq::~CAlsaSeq()
{
    if (m_encoder)
        snd_midi_event_free(m_encoder);
    if (m_decoder)
        snd_midi_event_free(m_decoder);
    if (m_seq)
        snd_seq_close(m_seq);
}

std::vector<AlsaSeqPort> CAlsaSeq::Ports()
{
    std::vector<AlsaSeqPort> result;
    if (!m_seq)
        return result;
    const int self = snd_seq_client_id(m_seq);
    snd_seq_client_info_t* client = nullptr;
    snd_seq_port_info_t* port = nullptr;
    snd_seq_client_info_alloca(&client);
    snd_seq_port_info_alloca(&port);
    snd_seq_client_info_set_client(client, -1);
    while (snd_seq_query_next_client(m_seq, client) >= 0) {
        const int id = snd_seq_client_info_get_client(client);
        if (id == self || id == SND_SEQ_CLIENT_SYSTEM)
            continue;
        snd_seq_port_info_set_client(port, id);
        snd_seq_port_info_set_port(port, -1);
        while (snd_seq_query_next_port(m_seq, port) >= 0) {
            const unsigned caps = snd_seq_port_info_get_capability(port);
            const unsigned type = snd_seq_port_info_get_type(port);
            if (caps & SND_SEQ_PORT_CAP_NO_EXPORT)
                continue;
            AlsaSeqPort p;
            p.client = id;
            p.port = snd_seq_port_info_get_port(port);
            p.name = std::string(snd_seq_client_info_get_name(client)) + ":" + snd_seq_port_info_get_name(port);
            p.hardware = (type & SND_SEQ_PORT_TYPE_HARDWARE) != 0;
            p.readable = (caps & (SND_SEQ_PORT_CAP_READ | SND_SEQ_PORT_CAP_SUBS_READ)) ==
                         (SND_SEQ_PORT_CAP_READ | SND_SEQ_PORT_CAP_SUBS_READ);
            p.writable = (caps & (SND_SEQ_PORT_CAP_WRITE | SND_SEQ_PORT_CAP_SUBS_WRITE)) ==
                         (SND_SEQ_PORT_CAP_WRITE | SND_SEQ_PORT_CAP_SUBS_WRITE);
            result.push_back(std::move(p));
        }
    }
    return result;
}

int CAlsaSeq::CreatePort(const std::string& name, bool input)
{
    if (!m_seq)
        return -1;
    const unsigned caps = input ? SND_SEQ_PORT_CAP_WRITE | SND_SEQ_PORT_CAP_SUBS_WRITE
                                : SND_SEQ_PORT_CAP_READ | SND_SEQ_PORT_CAP_SUBS_READ;
    const int port = snd_seq_create_simple_port(m_seq, name.c_str(), caps,
                                                SND_SEQ_PORT_TYPE_MIDI_GENERIC | SND_SEQ_PORT_TYPE_APPLICATION);
    return port < 0 ? -1 : port;
}

void CAlsaSeq::DeletePort(int ourPort)
{
    if (m_seq)
        snd_seq_delete_simple_port(m_seq, ourPort);
}

bool CAlsaSeq::Connect(int ourPort, const AlsaSeqPort& them, bool input)
{
    if (!m_seq)
        return false;
    return (input ? snd_seq_connect_from(m_seq, ourPort, them.client, them.port)
                  : snd_seq_connect_to(m_seq, ourPort, them.client, them.port)) >= 0;
}

bool CAlsaSeq::Send(int ourPort, const BYTE* bytes, std::size_t length)
{
    if (!m_seq || !m_encoder)
        return false;
    std::lock_guard<std::mutex> lock(m_sendLock);
    snd_midi_event_reset_encode(m_encoder);
    snd_seq_event_t event;
    snd_seq_ev_clear(&event);
    if (snd_midi_event_encode(m_encoder, bytes, static_cast<long>(length), &event) <= 0 ||
        event.type == SND_SEQ_EVENT_NONE)
        return false;
    snd_seq_ev_set_source(&event, ourPort);
    snd_seq_ev_set_subs(&event);
    snd_seq_ev_set_direct(&event);
    return snd_seq_event_output_direct(m_seq, &event) >= 0;
}

bool CAlsaSeq::Receive(int timeoutMs, int* ourPort, std::vector<BYTE>* bytes)
{
    if (!m_seq || !m_decoder) {
        poll(nullptr, 0, timeoutMs);
        return false;
    }
    const int count = snd_seq_poll_descriptors_count(m_seq, POLLIN);
    std::vector<pollfd> fds(static_cast<std::size_t>(count));
    snd_seq_poll_descriptors(m_seq, fds.data(), static_cast<unsigned>(count), POLLIN);
    if (snd_seq_event_input_pending(m_seq, 1) <= 0 && poll(fds.data(), fds.size(), timeoutMs) <= 0)
        return false;
    snd_seq_event_t* event = nullptr;
    if (snd_seq_event_input(m_seq, &event) < 0 || !event)
        return false;
    BYTE buffer[4096];
    snd_midi_event_reset_decode(m_decoder);
    const long n = snd_midi_event_decode(m_decoder, buffer, sizeof buffer, event);
    if (n <= 0)
        return false;
    *ourPort = event->dest.port;
    bytes->assign(buffer, buffer + n);
    return true;
}

}  // namespace mvmidi
