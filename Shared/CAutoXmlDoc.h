#pragma once
#include <libxml/tree.h>

// Owns one parsed libxml2 document and frees it when destroyed, freed or
// given another document.
class CAutoXmlDoc {
public:
    CAutoXmlDoc() = default;
    explicit CAutoXmlDoc(xmlDocPtr doc) : m_doc(doc) {}
    ~CAutoXmlDoc() { Free(); }
    CAutoXmlDoc(const CAutoXmlDoc&) = delete;
    CAutoXmlDoc& operator=(const CAutoXmlDoc&) = delete;

    void Attach(xmlDocPtr doc)
    {
        if (doc != m_doc)
            Free();
        m_doc = doc;
    }
    void Free()
    {
        if (m_doc)
            xmlFreeDoc(m_doc);
        m_doc = nullptr;
    }
    xmlDocPtr Detach()
    {
        xmlDocPtr doc = m_doc;
        m_doc = nullptr;
        return doc;
    }
    xmlDocPtr Get() const { return m_doc; }
    operator xmlDocPtr() const { return m_doc; }
    bool IsEmpty() const { return m_doc == nullptr; }

private:
    xmlDocPtr m_doc = nullptr;
};
