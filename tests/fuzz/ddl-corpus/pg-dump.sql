--
-- PostgreSQL database dump
--

\restrict KsLTCjxVgOw13Ot7QYk2FRdOa5r01LXQPzl4hCYd7aQOUZTgmYXE8MTaCfH2WTg

-- Dumped from database version 15.18 (Debian 15.18-0+deb12u1)
-- Dumped by pg_dump version 15.18 (Debian 15.18-0+deb12u1)

SET statement_timeout = 0;
SET lock_timeout = 0;
SET idle_in_transaction_session_timeout = 0;
SET client_encoding = 'UTF8';
SET standard_conforming_strings = on;
SELECT pg_catalog.set_config('search_path', '', false);
SET check_function_bodies = false;
SET xmloption = content;
SET client_min_messages = warning;
SET row_security = off;

--
-- Name: hr; Type: SCHEMA; Schema: -; Owner: postgres
--

CREATE SCHEMA hr;


ALTER SCHEMA hr OWNER TO postgres;

--
-- Name: sales; Type: SCHEMA; Schema: -; Owner: postgres
--

CREATE SCHEMA sales;


ALTER SCHEMA sales OWNER TO postgres;

--
-- Name: f(integer); Type: FUNCTION; Schema: hr; Owner: postgres
--

CREATE FUNCTION hr.f(a integer) RETURNS integer
    LANGUAGE sql
    BEGIN ATOMIC
 SELECT (a + 1);
END;


ALTER FUNCTION hr.f(a integer) OWNER TO postgres;

SET default_tablespace = '';

SET default_table_access_method = heap;

--
-- Name: badge; Type: TABLE; Schema: hr; Owner: postgres
--

CREATE TABLE hr.badge (
    employee_badge integer NOT NULL
);


ALTER TABLE hr.badge OWNER TO postgres;

--
-- Name: employee; Type: TABLE; Schema: hr; Owner: postgres
--

CREATE TABLE hr.employee (
    id integer NOT NULL,
    manager_id integer,
    "Full Name" text,
    badge integer,
    flags bit varying(8),
    t time(2) without time zone,
    iv interval
);


ALTER TABLE hr.employee OWNER TO postgres;

--
-- Name: employee_id_seq; Type: SEQUENCE; Schema: hr; Owner: postgres
--

CREATE SEQUENCE hr.employee_id_seq
    AS integer
    START WITH 1
    INCREMENT BY 1
    NO MINVALUE
    NO MAXVALUE
    CACHE 1;


ALTER TABLE hr.employee_id_seq OWNER TO postgres;

--
-- Name: employee_id_seq; Type: SEQUENCE OWNED BY; Schema: hr; Owner: postgres
--

ALTER SEQUENCE hr.employee_id_seq OWNED BY hr.employee.id;


--
-- Name: v; Type: VIEW; Schema: hr; Owner: postgres
--

CREATE VIEW hr.v AS
 SELECT employee.id,
    employee.manager_id,
    employee."Full Name",
    employee.badge,
    employee.flags,
    employee.t,
    employee.iv
   FROM hr.employee;


ALTER TABLE hr.v OWNER TO postgres;

--
-- Name: customer; Type: TABLE; Schema: public; Owner: postgres
--

CREATE TABLE public.customer (
    id integer NOT NULL,
    name character varying(40) NOT NULL,
    email text
);


ALTER TABLE public.customer OWNER TO postgres;

--
-- Name: customer; Type: TABLE; Schema: sales; Owner: postgres
--

CREATE TABLE sales.customer (
    id bigint NOT NULL,
    region character(2)
);


ALTER TABLE sales.customer OWNER TO postgres;

--
-- Name: line; Type: TABLE; Schema: sales; Owner: postgres
--

CREATE TABLE sales.line (
    order_id integer NOT NULL,
    order_day date NOT NULL,
    n integer NOT NULL,
    billing_customer integer NOT NULL,
    shipping_customer integer
);


ALTER TABLE sales.line OWNER TO postgres;

--
-- Name: orders; Type: TABLE; Schema: sales; Owner: postgres
--

CREATE TABLE sales.orders (
    id integer NOT NULL,
    day date NOT NULL,
    customer_id integer,
    amount numeric(10,2),
    created timestamp(3) with time zone,
    tags text[]
)
PARTITION BY RANGE (day);


ALTER TABLE sales.orders OWNER TO postgres;

--
-- Name: orders_2024; Type: TABLE; Schema: sales; Owner: postgres
--

CREATE TABLE sales.orders_2024 (
    id integer NOT NULL,
    day date NOT NULL,
    customer_id integer,
    amount numeric(10,2),
    created timestamp(3) with time zone,
    tags text[]
);


ALTER TABLE sales.orders_2024 OWNER TO postgres;

--
-- Name: orders_2025; Type: TABLE; Schema: sales; Owner: postgres
--

CREATE TABLE sales.orders_2025 (
    id integer NOT NULL,
    day date NOT NULL,
    customer_id integer,
    amount numeric(10,2),
    created timestamp(3) with time zone,
    tags text[]
);


ALTER TABLE sales.orders_2025 OWNER TO postgres;

--
-- Name: orders_2024; Type: TABLE ATTACH; Schema: sales; Owner: postgres
--

ALTER TABLE ONLY sales.orders ATTACH PARTITION sales.orders_2024 FOR VALUES FROM ('2024-01-01') TO ('2025-01-01');


--
-- Name: orders_2025; Type: TABLE ATTACH; Schema: sales; Owner: postgres
--

ALTER TABLE ONLY sales.orders ATTACH PARTITION sales.orders_2025 FOR VALUES FROM ('2025-01-01') TO ('2026-01-01');


--
-- Name: employee id; Type: DEFAULT; Schema: hr; Owner: postgres
--

ALTER TABLE ONLY hr.employee ALTER COLUMN id SET DEFAULT nextval('hr.employee_id_seq'::regclass);


--
-- Name: badge badge_pkey; Type: CONSTRAINT; Schema: hr; Owner: postgres
--

ALTER TABLE ONLY hr.badge
    ADD CONSTRAINT badge_pkey PRIMARY KEY (employee_badge);


--
-- Name: employee employee_badge_key; Type: CONSTRAINT; Schema: hr; Owner: postgres
--

ALTER TABLE ONLY hr.employee
    ADD CONSTRAINT employee_badge_key UNIQUE (badge);


--
-- Name: employee employee_pkey; Type: CONSTRAINT; Schema: hr; Owner: postgres
--

ALTER TABLE ONLY hr.employee
    ADD CONSTRAINT employee_pkey PRIMARY KEY (id);


--
-- Name: customer customer_email_key; Type: CONSTRAINT; Schema: public; Owner: postgres
--

ALTER TABLE ONLY public.customer
    ADD CONSTRAINT customer_email_key UNIQUE (email);


--
-- Name: customer customer_pkey; Type: CONSTRAINT; Schema: public; Owner: postgres
--

ALTER TABLE ONLY public.customer
    ADD CONSTRAINT customer_pkey PRIMARY KEY (id);


--
-- Name: customer customer_pkey; Type: CONSTRAINT; Schema: sales; Owner: postgres
--

ALTER TABLE ONLY sales.customer
    ADD CONSTRAINT customer_pkey PRIMARY KEY (id);


--
-- Name: line line_pkey; Type: CONSTRAINT; Schema: sales; Owner: postgres
--

ALTER TABLE ONLY sales.line
    ADD CONSTRAINT line_pkey PRIMARY KEY (order_id, order_day, n);


--
-- Name: orders orders_pkey; Type: CONSTRAINT; Schema: sales; Owner: postgres
--

ALTER TABLE ONLY sales.orders
    ADD CONSTRAINT orders_pkey PRIMARY KEY (id, day);


--
-- Name: orders_2024 orders_2024_pkey; Type: CONSTRAINT; Schema: sales; Owner: postgres
--

ALTER TABLE ONLY sales.orders_2024
    ADD CONSTRAINT orders_2024_pkey PRIMARY KEY (id, day);


--
-- Name: orders_2025 orders_2025_pkey; Type: CONSTRAINT; Schema: sales; Owner: postgres
--

ALTER TABLE ONLY sales.orders_2025
    ADD CONSTRAINT orders_2025_pkey PRIMARY KEY (id, day);


--
-- Name: orders_2024_pkey; Type: INDEX ATTACH; Schema: sales; Owner: postgres
--

ALTER INDEX sales.orders_pkey ATTACH PARTITION sales.orders_2024_pkey;


--
-- Name: orders_2025_pkey; Type: INDEX ATTACH; Schema: sales; Owner: postgres
--

ALTER INDEX sales.orders_pkey ATTACH PARTITION sales.orders_2025_pkey;


--
-- Name: badge badge_employee_badge_fkey; Type: FK CONSTRAINT; Schema: hr; Owner: postgres
--

ALTER TABLE ONLY hr.badge
    ADD CONSTRAINT badge_employee_badge_fkey FOREIGN KEY (employee_badge) REFERENCES hr.employee(badge);


--
-- Name: employee employee_manager_id_fkey; Type: FK CONSTRAINT; Schema: hr; Owner: postgres
--

ALTER TABLE ONLY hr.employee
    ADD CONSTRAINT employee_manager_id_fkey FOREIGN KEY (manager_id) REFERENCES hr.employee(id);


--
-- Name: line line_billing_fk; Type: FK CONSTRAINT; Schema: sales; Owner: postgres
--

ALTER TABLE ONLY sales.line
    ADD CONSTRAINT line_billing_fk FOREIGN KEY (billing_customer) REFERENCES public.customer(id);


--
-- Name: line line_order_fk; Type: FK CONSTRAINT; Schema: sales; Owner: postgres
--

ALTER TABLE ONLY sales.line
    ADD CONSTRAINT line_order_fk FOREIGN KEY (order_id, order_day) REFERENCES sales.orders(id, day);


--
-- Name: line line_shipping_fk; Type: FK CONSTRAINT; Schema: sales; Owner: postgres
--

ALTER TABLE ONLY sales.line
    ADD CONSTRAINT line_shipping_fk FOREIGN KEY (shipping_customer) REFERENCES public.customer(id);


--
-- Name: orders orders_customer_id_fkey; Type: FK CONSTRAINT; Schema: sales; Owner: postgres
--

ALTER TABLE sales.orders
    ADD CONSTRAINT orders_customer_id_fkey FOREIGN KEY (customer_id) REFERENCES public.customer(id);


--
-- PostgreSQL database dump complete
--

\unrestrict KsLTCjxVgOw13Ot7QYk2FRdOa5r01LXQPzl4hCYd7aQOUZTgmYXE8MTaCfH2WTg

