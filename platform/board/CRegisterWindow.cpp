#include "CRegisterWindow.h"

namespace tq8 {

CRegisterWindow::CRegisterWindow(uint32_t lengthBytes)
    : m_length(lengthBytes / 4 * 4), m_words(std::make_unique<std::atomic<uint32_t>[]>(m_length / 4))
{
}

uint32_t CRegisterWindow::Read(uint32_t byteOffset)
{
    m_accesses.fetch_add(1);
    if (!Reaches(byteOffset))
        return 0xFFFFFFFFu;
    const uint32_t index = byteOffset / 4;
    const uint32_t stored = m_words[index].load();
    return m_read ? m_read(index, stored) : stored;
}

void CRegisterWindow::Write(uint32_t byteOffset, uint32_t value)
{
    m_accesses.fetch_add(1);
    if (!Reaches(byteOffset))
        return;
    const uint32_t index = byteOffset / 4;
    m_words[index].store(value);
    if (m_write)
        m_write(index, value);
}

uint32_t CRegisterWindow::Peek(uint32_t index) const { return index < Words() ? m_words[index].load() : 0xFFFFFFFFu; }

void CRegisterWindow::Poke(uint32_t index, uint32_t value)
{
    if (index < Words())
        m_words[index].store(value);
}

void CRegisterWindow::SetHooks(ReadHook read, WriteHook write)
{
    m_read = std::move(read);
    m_write = std::move(write);
}

} // namespace tq8
