#include "engine/CTimerClient.h"

#include "engine/CTimer.h"

CTimerClient::~CTimerClient()
{
    if (CTimer* timer = GetTimer())
        timer->ForgetClient(this);
}

void CTimerClient::OnTimer() {}
