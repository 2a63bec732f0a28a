\restrict key
SET search_path = app, public;
CREATE TABLE p (id int, d date, PRIMARY KEY (id, d)) PARTITION BY RANGE (d);
CREATE TABLE p1 PARTITION OF p FOR VALUES FROM ('2024-01-01') TO ('2025-01-01');
CREATE TABLE p2 (id int NOT NULL, d date NOT NULL);
ALTER TABLE ONLY p ATTACH PARTITION p2 FOR VALUES FROM ('2025-01-01') TO ('2026-01-01');
COPY p (id, d) FROM stdin;
1	2024-02-02
\N	it's
\.
CREATE FUNCTION f() RETURNS int LANGUAGE sql BEGIN ATOMIC SELECT 1; SELECT 2; END;
CREATE TABLE film (id int, len int GENERATED ALWAYS AS (1) VIRTUAL);
CREATE TABLE q (p_id int, p_d date, FOREIGN KEY (p_id, p_d) REFERENCES p2 (id, d), self int REFERENCES q (p_id));
\unrestrict key
