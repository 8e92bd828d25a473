#pragma once

// Bounds the re-sends a peripheral makes after a failed write. The bus interface signals a
// failed write synchronously, so a re-send runs inside the failing write; against a device
// that stays unreachable an unbounded re-send would recurse without end. Every request from
// outside (a new colour, a new mask) opens a Request and gets kResendsPerRequest re-sends;
// writes made by a re-send belong to the same request and never renew the allowance.
class I2C_ResendBudget
{
public:
    static constexpr int kResendsPerRequest = 1;

    class Request
    {
    public:
        explicit Request(I2C_ResendBudget &budget) : budget(budget)
        {
            if (budget.depth++ == 0)
                budget.left = kResendsPerRequest;
        }
        ~Request() { --budget.depth; }
        Request(const Request &) = delete;
        Request &operator=(const Request &) = delete;

    private:
        I2C_ResendBudget &budget;
    };

    // True when the current request may still re-send; uses up one re-send. A re-send asked
    // for outside any request is a request of its own and always allowed.
    bool take()
    {
        if (depth == 0)
            return true;
        if (left <= 0)
            return false;
        --left;
        return true;
    }

private:
    int depth = 0;
    int left = 0;
};
