#include "app/HeadlessViewer.h"

bool CHeadlessViewer::Create(int32_t width, int32_t height, ViewerFiles files) {
    if (width < 1 || height < 1 || width > 4096 || height > 4096) return false;
    const int32_t outerWidth = width + 2 * kClientEdge;
    const int32_t outerHeight = height + 2 * kClientEdge;
    if (!m_host.CreateEx(0, nullptr, "quillmote", WS_VISIBLE, CRect(0, 0, outerWidth, outerHeight), nullptr, 0))
        return false;
    m_view.SetFiles(std::move(files));
    if (!m_view.Create(nullptr, nullptr, AFX_WS_DEFAULT_VIEW, CRect(0, 0, outerWidth, outerHeight), &m_host,
                       AFX_IDW_PANE_FIRST))
        return false;
    RECT client;
    m_view.GetClientRect(&client);
    return client.right - client.left == width && client.bottom - client.top == height;
}
